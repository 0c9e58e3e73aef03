<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>SerialportSettingDialog</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>Serialport Settings</source>
        <translation>串口设置</translation>
    </message>
    <message>
        <source>Port Name:</source>
        <translation>端口名：</translation>
    </message>
    <message>
        <source>Baud Rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Data Bits:</source>
        <translation>数据位：</translation>
    </message>
    <message>
        <source>Parity:</source>
        <translation>校验位：</translation>
    </message>
    <message>
        <source>Stop Bits:</source>
        <translation>停止位：</translation>
    </message>
    <message>
        <source>AUTO</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>无</translation>
    </message>
    <message>
        <source>ODD</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <source>EVEN</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>permission denied (add your account to the dialout group)</source>
        <translation>权限不足（请将您的账户加入 dialout 组）</translation>
    </message>
    <message>
        <source>in use</source>
        <translation>被占用</translation>
    </message>
    <message>
        <source>No serial port found. Is the adapter plugged in?</source>
        <translation>未找到串口。适配器是否已插入？</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>Follow</source>
        <translation>跟随</translation>
    </message>
    <message>
        <source>Trend</source>
        <translation>趋势</translation>
    </message>
    <message>
        <source>Humidity (%)</source>
        <translation>湿度（%）</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Save image</source>
        <translation>保存图片</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>Dew point</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>%1: min %2, max %3, mean %4 %5</source>
        <translation>%1：最小 %2，最大 %3，平均 %4 %5</translation>
    </message>
    <message>
        <source>Temperature, dew point (%1)</source>
        <translation>温度、露点（%1）</translation>
    </message>
    <message>
        <source>No readings in sight.</source>
        <translation>视图内没有读数。</translation>
    </message>
    <message>
        <source>In sight: </source>
        <translation>视图内：</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Cannot write the image %1.</source>
        <translation>无法写入图片 %1。</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Cannot write the file %1.</source>
        <translation>无法写入文件 %1。</translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>Widget</source>
        <translation>窗口</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Device type:</source>
        <translation>设备类型：</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Read</source>
        <translation>读取</translation>
    </message>
    <message>
        <source>Baud rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>1200</source>
        <translation>1200</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>115200</source>
        <translation>115200</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>Sensor type:</source>
        <translation>传感器类型：</translation>
    </message>
    <message>
        <source>SHT2X/3X</source>
        <translation>SHT2X/3X</translation>
    </message>
    <message>
        <source>SHT3X/4X</source>
        <translation>SHT3X/4X</translation>
    </message>
    <message>
        <source>Real time data</source>
        <translation>实时数据</translation>
    </message>
    <message>
        <source>Temperature:</source>
        <translation>温度：</translation>
    </message>
    <message>
        <source>Humidity:</source>
        <translation>湿度：</translation>
    </message>
    <message>
        <source>DewTemp:</source>
        <translation>露点：</translation>
    </message>
    <message>
        <source>Magnification:</source>
        <translation>倍率：</translation>
    </message>
    <message>
        <source>ALL</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>Humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>DewTemp</source>
        <translation>露点</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Period:</source>
        <translation>周期：</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>毫秒</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>报文</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>保存到文件</translation>
    </message>
    <message>
        <source>Link</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>The address is empty!</source>
        <translation>地址为空！</translation>
    </message>
    <message>
        <source>The address is between 1 and 247!</source>
        <translation>地址范围为 1 到 247！</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Firmware version:</source>
        <translation>固件版本：</translation>
    </message>
    <message>
        <source>V</source>
        <translation>V</translation>
    </message>
    <message>
        <source>Temperature:---</source>
        <translation>温度：---</translation>
    </message>
    <message>
        <source>Humidity:---</source>
        <translation>湿度：---</translation>
    </message>
    <message>
        <source>DewTemp:---</source>
        <translation>露点：---</translation>
    </message>
    <message>
        <source>port closed</source>
        <translation>端口已关闭</translation>
    </message>
    <message>
        <source>(not sent: %1)</source>
        <translation>（未发送：%1）</translation>
    </message>
    <message>
        <source>Communication error!</source>
        <translation>通信错误！</translation>
    </message>
    <message>
        <source>No serial port was chosen.</source>
        <translation>未选择串口。</translation>
    </message>
    <message>
        <source>Cannot open the serial port %1: %2</source>
        <translation>无法打开串口 %1：%2</translation>
    </message>
    <message>
        <source>USB device error, please reconnect USB device!</source>
        <translation>USB 设备错误，请重新连接 USB 设备！</translation>
    </message>
    <message>
        <source>Cannot write the capture file %1: %2</source>
        <translation>无法写入记录文件 %1：%2</translation>
    </message>
    <message numerus="yes">
        <source>%n new line(s) below - press End to follow</source>
        <translation>
            <numerusform>下方有 %n 行新报文 - 按 End 键跟随</numerusform>
        </translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>Tervin Test Tools</source>
        <translation>泰尔文测试工具</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Sent %1, replies %2, timeouts %3, bad frames %4, exceptions %5, late %6, skipped %7, response %8 ms (mean %9 ms)</source>
        <translation>已发送 %1，应答 %2，超时 %3，坏帧 %4，异常 %5，迟到 %6，跳过 %7，响应 %8 ms（平均 %9 ms）</translation>
    </message>
    <message>
        <source>, no reply since %1</source>
        <translation>，自 %1 起无应答</translation>
    </message>
    <message>
        <source>(late, ignored)</source>
        <translation>（迟到，已忽略）</translation>
    </message>
    <message>
        <source>no reply within %1 ms</source>
        <translation>%1 ms 内无应答</translation>
    </message>
    <message>
        <source>illegal function</source>
        <translation>非法功能码</translation>
    </message>
    <message>
        <source>illegal data address</source>
        <translation>非法数据地址</translation>
    </message>
    <message>
        <source>illegal data value</source>
        <translation>非法数据值</translation>
    </message>
    <message>
        <source>server device failure</source>
        <translation>从站设备故障</translation>
    </message>
    <message>
        <source>acknowledge</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>server device busy</source>
        <translation>从站设备忙</translation>
    </message>
    <message>
        <source>memory parity error</source>
        <translation>存储奇偶校验错误</translation>
    </message>
    <message>
        <source>gateway path unavailable</source>
        <translation>网关路径不可用</translation>
    </message>
    <message>
        <source>gateway target device failed to respond</source>
        <translation>网关目标设备无响应</translation>
    </message>
    <message>
        <source>unknown exception</source>
        <translation>未知异常</translation>
    </message>
    <message>
        <source>now at %1, verified</source>
        <translation>现为 %1，已验证</translation>
    </message>
    <message>
        <source>address %1, verified</source>
        <translation>地址 %1，已验证</translation>
    </message>
    <message>
        <source>The device did not answer at %1 after the change. Use Link with AUTO to find it.</source>
        <translation>更改后设备在 %1 下无应答。请用“连接”并选择“自动”查找设备。</translation>
    </message>
    <message>
        <source>The device did not answer at address %1 after the change.</source>
        <translation>更改后设备在地址 %1 无应答。</translation>
    </message>
    <message>
        <source>waiting for the adapter to come back</source>
        <translation>正在等待适配器重新连接</translation>
    </message>
    <message>
        <source>the adapter did not come back</source>
        <translation>适配器未重新连接</translation>
    </message>
    <message numerus="yes">
        <source>%1 did not come back within %n minute(s)</source>
        <translation>
            <numerusform>%1 在 %n 分钟内未重新连接</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The adapter did not come back within %n minute(s). Use Link once it is plugged in again.</source>
        <translation>
            <numerusform>适配器在 %n 分钟内未重新连接。请在重新插入后使用“连接”。</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is back</source>
        <translation>%1 已重新连接</translation>
    </message>
    <message>
        <source>%1 lost: %2</source>
        <translation>%1 已断开：%2</translation>
    </message>
    <message>
        <source>exception 0x%1 (%2)</source>
        <translation>异常 0x%1（%2）</translation>
    </message>
    <message>
        <source>a storm of 0x00/0xFF bytes, the sign of a failing adapter</source>
        <translation>大量 0x00/0xFF 字节，适配器故障的迹象</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>The new address is sent to every device on the line. Connect only one transmitter. Continue?</source>
        <translation>新地址会发送给总线上的每一台设备。请只连接一台变送器。是否继续？</translation>
    </message>
    <message>
        <source>Don&apos;t ask again this session</source>
        <translation>本次运行不再询问</translation>
    </message>
    <message>
        <source>(incomplete)</source>
        <translation>（不完整）</translation>
    </message>
    <message>
        <source>(bad CRC)</source>
        <translation>（CRC 错误）</translation>
    </message>
    <message>
        <source>(extra bytes)</source>
        <translation>（多余字节）</translation>
    </message>
    <message>
        <source>no answer from slave %1 at any rate; searching again at slave 0</source>
        <translation>从站 %1 在所有波特率下均无应答；改用从站 0 重新搜索</translation>
    </message>
    <message>
        <source>searching %1 at slave 0…</source>
        <translation>正在以从站 0 搜索 %1…</translation>
    </message>
    <message>
        <source>searching %1…</source>
        <translation>正在搜索 %1…</translation>
    </message>
    <message>
        <source>%1: no answer at any rate</source>
        <translation>%1：所有波特率下均无应答</translation>
    </message>
    <message>
        <source>%1 at %2, linked</source>
        <translation>%1，%2，已连接</translation>
    </message>
    <message>
        <source>port lost</source>
        <translation>端口已断开</translation>
    </message>
    <message>
        <source>not linked</source>
        <translation>未连接</translation>
    </message>
    <message>
        <source>(from slave %1)</source>
        <translation>（来自从站 %1）</translation>
    </message>
    <message>
        <source>Find text or hex bytes (Enter: next, Shift+Enter: previous)</source>
        <translation>查找文本或十六进制字节（回车：下一个，Shift+回车：上一个）</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message numerus="yes">
        <source>Drop the %n line(s) from the view? The capture file keeps them.</source>
        <translation>
            <numerusform>从视图中清除 %n 行？记录文件中仍保留这些行。</numerusform>
        </translation>
    </message>
    <message>
        <source>not found</source>
        <translation>未找到</translation>
    </message>
    <message>
        <source>line %1 of %2</source>
        <translation>第 %1 行，共 %2 行</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>Trend</source>
        <translation>趋势</translation>
    </message>
    <message>
        <source>Save readings</source>
        <translation>保存读数</translation>
    </message>
    <message>
        <source>Cannot write the readings file %1: %2</source>
        <translation>无法写入读数文件 %1：%2</translation>
    </message>
</context>
</TS>
