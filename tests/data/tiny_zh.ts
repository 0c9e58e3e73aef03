<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Widget</name>
    <message>
        <source>Tervin Test Tools</source>
        <translation>泰尔文测试工具</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>连接</translation>
    </message>
</context>
</TS>
