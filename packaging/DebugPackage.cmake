# Run by CPack after it made the packages, before it copies them out. CPack's debug symbols
# package (tervin-test-tools-dbgsym, a .ddeb) lists its files in md5sums by their absolute paths
# in CPack's staging folder, keeps the debug files executable and has no documentation folder.
# This rebuilds it as Debian's own are: debug files that are only read, md5sums by installed
# paths, /usr/share/doc/tervin-test-tools-dbgsym a link to the documentation of tervin-test-tools
# (which it depends on at the same version), and the source named, so that lintian checks the two
# together.
set(ddebs "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(folder ${package} DIRECTORY)
    file(GLOB found ${folder}/*-dbgsym_*.ddeb)
    list(APPEND ddebs ${found})
endforeach()
list(REMOVE_DUPLICATES ddebs)
foreach(ddeb IN LISTS ddebs)
    get_filename_component(folder ${ddeb} DIRECTORY)
    set(tree ${folder}/dbgsym-tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${ddeb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE files RELATIVE ${tree} ${tree}/usr/*)
    set(md5sums "")
    foreach(path IN LISTS files)
        if(NOT IS_SYMLINK ${tree}/${path})
            file(CHMOD ${tree}/${path} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
            file(MD5 ${tree}/${path} sum)
            string(APPEND md5sums "${sum}  ${path}\n")
        endif()
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")
    file(READ ${tree}/DEBIAN/control control)
    string(STRIP "${control}" control)
    file(WRITE ${tree}/DEBIAN/control "${control}\nSource: tervin-test-tools\n")
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK tervin-test-tools ${tree}/usr/share/doc/tervin-test-tools-dbgsym SYMBOLIC)
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${ddeb}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
