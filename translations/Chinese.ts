<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Check</name>
    <message>
        <source>%1 is not a number</source>
        <translation>%1 不是数字</translation>
    </message>
    <message>
        <source>%1 is negative</source>
        <translation>%1 是负数</translation>
    </message>
    <message>
        <source>%1 is not a value with an optional uncertainty (for example 23.5:0.1)</source>
        <translation>%1 不是数值加可选的不确定度（例如 23.5:0.1）</translation>
    </message>
    <message>
        <source>%1 is out of range (%2 to %3 %4)</source>
        <translation>%1 超出范围（%2 到 %3 %4）</translation>
    </message>
    <message>
        <source>the reference&apos;s uncertainty ±%1 %2 leaves nothing of the tolerance ±%3 %2</source>
        <translation>参考的不确定度 ±%1 %2 已占满允差 ±%3 %2</translation>
    </message>
    <message>
        <source>%1 is not a duration (for example 10m, 90s or 1h30m)</source>
        <translation>%1 不是时长（例如 10m、90s 或 1h30m）</translation>
    </message>
    <message>
        <source>%1 is longer than %2 days</source>
        <translation>%1 超过 %2 天</translation>
    </message>
    <message>
        <source>%1 is shorter than 1 minute</source>
        <translation>%1 不足 1 分钟</translation>
    </message>
    <message>
        <source>%1 is not above 0</source>
        <translation>%1 不大于 0</translation>
    </message>
    <message>
        <source>the reference address %1 is not one of the line&apos;s addresses</source>
        <translation>参考地址 %1 不在本线路的地址之中</translation>
    </message>
    <message>
        <source>the reference has neither a temperature nor a humidity</source>
        <translation>参考既没有温度也没有湿度</translation>
    </message>
    <message>
        <source>the unstable limit is shorter than the settle time</source>
        <translation>不稳定判定时限短于稳定时间</translation>
    </message>
    <message>
        <source>pass</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>fail</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>settling</source>
        <translation>稳定中</translation>
    </message>
    <message>
        <source>unstable</source>
        <translation>不稳定</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>无应答</translation>
    </message>
</context>
<context>
    <name>CheckPanel</name>
    <message>
        <source>Check</source>
        <translation>检验</translation>
    </message>
    <message>
        <source>Check mode: every unit of the line against a reference, judged once settled from the readings of the line&apos;s polls</source>
        <translation>检验模式：把线路上的每台设备与参考比较，稳定后根据线路轮询的读数判定</translation>
    </message>
    <message>
        <source>The reference: a unit of the line (a calibrated transmitter beside the others), or values typed from a reference instrument</source>
        <translation>参考：线路上的一台设备（放在其他设备旁边、经过校准的变送器），或从参考仪器上读取后输入的数值</translation>
    </message>
    <message>
        <source>The reference instrument&apos;s temperature in °C and, after a colon, its uncertainty: 23.5:0.1. Empty: temperature is not judged</source>
        <translation>参考仪器的温度（°C），冒号后为其不确定度：23.5:0.1。留空：不判定温度</translation>
    </message>
    <message>
        <source>The reference instrument&apos;s humidity in %RH and, after a colon, its uncertainty: 45:1.5. Empty: humidity is not judged</source>
        <translation>参考仪器的湿度（%RH），冒号后为其不确定度：45:1.5。留空：不判定湿度</translation>
    </message>
    <message>
        <source>How long the readings of a unit and of the reference must stay within 0.1 °C and 0.5 %RH before it is judged: 10m, 90s, 1h30m; at least 1m</source>
        <translation>设备和参考的读数须在 0.1 °C 和 0.5 %RH 以内保持多久才判定：10m、90s、1h30m；至少 1m</translation>
    </message>
    <message>
        <source>The tolerance of every unit in °C. Empty: each unit&apos;s sensor family&apos;s, as shown</source>
        <translation>每台设备的温度允差（°C）。留空：按各设备的传感器系列，如提示所示</translation>
    </message>
    <message>
        <source>The tolerance of every unit in %RH. Empty: each unit&apos;s sensor family&apos;s, as shown</source>
        <translation>每台设备的湿度允差（%RH）。留空：按各设备的传感器系列，如提示所示</translation>
    </message>
    <message>
        <source>Start check</source>
        <translation>开始检验</translation>
    </message>
    <message>
        <source>Starts the check of the listed units (polling the line if it is not), or stops it where it stands</source>
        <translation>开始检验列表中的设备（线路未在轮询时同时开始轮询），或在当前状态停止检验</translation>
    </message>
    <message>
        <source>Report…</source>
        <translation>报告…</translation>
    </message>
    <message>
        <source>Writes the check&apos;s report as it stands, as PDF and as CSV beside it, with your note</source>
        <translation>按当前状态写出检验报告：一份 PDF，旁边一份 CSV，附上您的备注</translation>
    </message>
    <message>
        <source>Reference:</source>
        <translation>参考：</translation>
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
        <source>Settle time:</source>
        <translation>稳定时间：</translation>
    </message>
    <message>
        <source>Tolerance ± °C:</source>
        <translation>允差 ± °C：</translation>
    </message>
    <message>
        <source>± %RH:</source>
        <translation>± %RH：</translation>
    </message>
    <message>
        <source>Check stopped</source>
        <translation>检验已停止</translation>
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
        <source>Settle time</source>
        <translation>稳定时间</translation>
    </message>
    <message>
        <source>Tolerance °C</source>
        <translation>允差 °C</translation>
    </message>
    <message>
        <source>Tolerance %RH</source>
        <translation>允差 %RH</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Not linked: use Link in the main window first.</source>
        <translation>未连接：请先在主窗口中点击“连接”。</translation>
    </message>
    <message>
        <source>No unit listed: Scan first.</source>
        <translation>列表中没有设备：请先扫描。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Check: %1</source>
        <translation>检验：%1</translation>
    </message>
    <message>
        <source>Stop check</source>
        <translation>停止检验</translation>
    </message>
    <message>
        <source>Check done</source>
        <translation>检验完成</translation>
    </message>
    <message>
        <source>Check stopped with the polling</source>
        <translation>轮询停止，检验随之停止</translation>
    </message>
    <message>
        <source>Checking: %1; done by %2 at the latest</source>
        <translation>检验中：%1；最迟 %2 完成</translation>
    </message>
    <message>
        <source>Typed values</source>
        <translation>输入的数值</translation>
    </message>
    <message>
        <source>Address %1</source>
        <translation>地址 %1</translation>
    </message>
    <message>
        <source>Address %1, %2</source>
        <translation>地址 %1，%2</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>Your note for the report (lot, order, chamber):</source>
        <translation>报告的备注（批号、订单、试验箱）：</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF 文件 (*.pdf)</translation>
    </message>
    <message>
        <source>The report is in %1 and %2</source>
        <translation>报告已保存到 %1 和 %2</translation>
    </message>
</context>
<context>
    <name>CheckReport</name>
    <message>
        <source>&apos;%1&apos; in %2 is not a number</source>
        <translation>%2 中的 &apos;%1&apos; 不是数字</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a verdict</source>
        <translation>&apos;%1&apos; 不是判定结果</translation>
    </message>
    <message>
        <source>the report already combines two points; give the first point&apos;s report</source>
        <translation>该报告已合并两个点；请给出第一个点的报告</translation>
    </message>
    <message>
        <source>not a check report: it has no column %1</source>
        <translation>不是检验报告：没有 %1 列</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>Cannot write the report %1: %2</source>
        <translation>无法写入报告 %1：%2</translation>
    </message>
    <message>
        <source>Production check</source>
        <translation>生产检验</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>uncertainty ±%1 %2, ±%3 %4</source>
        <translation>不确定度 ±%1 %2、±%3 %4</translation>
    </message>
    <message>
        <source>serial %1, %2, sensor %3</source>
        <translation>序列号 %1，%2，传感器 %3</translation>
    </message>
    <message>
        <source>not identified</source>
        <translation>未识别</translation>
    </message>
    <message>
        <source>the unit at address %1: %2; %3</source>
        <translation>地址 %1 的变送器：%2；%3</translation>
    </message>
    <message>
        <source>an instrument: %1</source>
        <translation>参考仪器：%1</translation>
    </message>
    <message>
        <source>settled when, over %1, the readings of the unit and of the reference have each stayed within %2 %3 and %4 %5, with a reading at least every %6; unstable when not settled within %7</source>
        <translation>在 %1 内，变送器和参考的读数各自保持在 %2 %3 和 %4 %5 以内，且至少每 %6 有一个读数，即为稳定；%7 内未稳定则判为不稳定</translation>
    </message>
    <message>
        <source>the sensor family&apos;s (%1)</source>
        <translation>按传感器系列（%1）</translation>
    </message>
    <message>
        <source>temperature %1; humidity %2; a unit passes within the tolerance less the reference&apos;s uncertainty</source>
        <translation>温度 %1；湿度 %2；偏差在允差减去参考不确定度之内为合格</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1 units: %2</source>
        <translation>%1 台：%2</translation>
    </message>
    <message>
        <source>waiting for the reference</source>
        <translation>等待参考</translation>
    </message>
    <message>
        <source>%1 min left</source>
        <translation>还需 %1 分钟</translation>
    </message>
    <message>
        <source>unit = %1 × reference %2 %3</source>
        <translation>变送器 = %1 × 参考 %2 %3</translation>
    </message>
    <message>
        <source>both</source>
        <translation>两点</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Sensor</source>
        <translation>传感器</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>固件</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>均值</translation>
    </message>
    <message>
        <source>SD</source>
        <translation>标准差</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>参考</translation>
    </message>
    <message>
        <source>Deviation</source>
        <translation>偏差</translation>
    </message>
    <message>
        <source>Tolerance</source>
        <translation>允差</translation>
    </message>
    <message>
        <source>Point</source>
        <translation>点</translation>
    </message>
    <message>
        <source>Temperature (%1)</source>
        <translation>温度（%1）</translation>
    </message>
    <message>
        <source>Humidity (%1)</source>
        <translation>湿度（%1）</translation>
    </message>
    <message>
        <source>Dew point (%1)</source>
        <translation>露点（%1）</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>Date and time</source>
        <translation>日期和时间</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>备注</translation>
    </message>
    <message>
        <source>Settle rule</source>
        <translation>稳定规则</translation>
    </message>
    <message>
        <source>Tolerances</source>
        <translation>允差</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>tervin-cli: --log %1: %2</source>
        <translation>tervin-cli：--log %1：%2</translation>
    </message>
    <message>
        <source>Try &apos;tervin-cli --help&apos; for more.</source>
        <translation>用 &apos;tervin-cli --help&apos; 查看更多说明。</translation>
    </message>
    <message>
        <source>%1 is not one of the rates %2</source>
        <translation>%1 不是可用的波特率 %2 之一</translation>
    </message>
    <message>
        <source>%1 is not one of %2</source>
        <translation>%1 不是 %2 之一</translation>
    </message>
    <message>
        <source>the file name is empty</source>
        <translation>文件名为空</translation>
    </message>
    <message>
        <source>%1: no port given</source>
        <translation>%1：未给出串口</translation>
    </message>
    <message>
        <source>set-address: no new address given</source>
        <translation>set-address：未给出新地址</translation>
    </message>
    <message>
        <source>set-baud: no new rate given</source>
        <translation>set-baud：未给出新波特率</translation>
    </message>
    <message>
        <source>%1: unexpected argument %2</source>
        <translation>%1：多余的参数 %2</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>未知选项 %1</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>选项 %1 需要一个值</translation>
    </message>
    <message>
        <source>option %1 takes no value</source>
        <translation>选项 %1 不带值</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>未给出命令</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>未知命令 %1</translation>
    </message>
    <message>
        <source>option %1 does not apply to %2</source>
        <translation>选项 %1 不适用于 %2</translation>
    </message>
    <message>
        <source>tervin-cli: cannot write the log %1: %2</source>
        <translation>tervin-cli：无法写入日志 %1：%2</translation>
    </message>
    <message>
        <source>incomplete</source>
        <translation>不完整</translation>
    </message>
    <message>
        <source>bad CRC</source>
        <translation>CRC 错误</translation>
    </message>
    <message>
        <source>extra bytes</source>
        <translation>多余字节</translation>
    </message>
    <message>
        <source>cannot open the port: %1</source>
        <translation>无法打开串口：%1</translation>
    </message>
    <message>
        <source>the port failed: %1</source>
        <translation>串口出错：%1</translation>
    </message>
    <message>
        <source>(late, ignored)</source>
        <translation>（延迟应答，已忽略）</translation>
    </message>
    <message>
        <source>a late reply</source>
        <translation>延迟应答</translation>
    </message>
    <message>
        <source>a reply from slave %1</source>
        <translation>来自从站 %1 的应答</translation>
    </message>
    <message>
        <source>a garbled reply (%1)</source>
        <translation>错误帧（%1）</translation>
    </message>
    <message>
        <source>%1, ignored: %2</source>
        <translation>%1，已忽略：%2</translation>
    </message>
    <message>
        <source>the port went away: %1</source>
        <translation>串口已断开：%1</translation>
    </message>
    <message>
        <source>the device refused: %1</source>
        <translation>设备拒绝：%1</translation>
    </message>
    <message>
        <source>no answer within %1 ms</source>
        <translation>%1 毫秒内无应答</translation>
    </message>
    <message>
        <source>at %1 bit/s, %2</source>
        <translation>波特率 %1 下，%2</translation>
    </message>
    <message>
        <source>no answer at any rate</source>
        <translation>所有波特率下均无应答</translation>
    </message>
    <message>
        <source>no answer at %1 bit/s within %2 ms</source>
        <translation>波特率 %1 下 %2 毫秒内无应答</translation>
    </message>
    <message>
        <source>no answer to the write within %1 ms</source>
        <translation>写入后 %1 毫秒内无应答</translation>
    </message>
    <message>
        <source>address %1</source>
        <translation>地址 %1</translation>
    </message>
    <message>
        <source>%1 bit/s</source>
        <translation>%1 bit/s</translation>
    </message>
    <message>
        <source> (was %1)</source>
        <translation>（原为 %1）</translation>
    </message>
    <message>
        <source>temperature %1 %2</source>
        <translation>温度 %1 %2</translation>
    </message>
    <message>
        <source>humidity %1 %</source>
        <translation>湿度 %1 %</translation>
    </message>
    <message>
        <source>dew point %1 %2</source>
        <translation>露点 %1 %2</translation>
    </message>
    <message>
        <source>%1: a port name is empty</source>
        <translation>%1：串口名称为空</translation>
    </message>
    <message>
        <source>option --address takes one address with %1</source>
        <translation>选项 --address 在 %1 中只能给出一个地址</translation>
    </message>
    <message>
        <source>option --baud applies to scan only with --addresses</source>
        <translation>选项 --baud 只在 scan 带 --addresses 时适用</translation>
    </message>
    <message>
        <source>commission: no new address given (--address NEW)</source>
        <translation>commission：未给出新地址（--address NEW）</translation>
    </message>
    <message>
        <source>tervin-cli: cannot write standard output: %1</source>
        <translation>tervin-cli：无法写入标准输出：%1</translation>
    </message>
    <message>
        <source>ports %1 and %2 are the same device, %3</source>
        <translation>串口 %1 和 %2 是同一个设备 %3</translation>
    </message>
    <message>
        <source>%1 is not a number</source>
        <translation>%1 不是数字</translation>
    </message>
    <message>
        <source>%1 is out of range (%2 to %3%4)</source>
        <translation>%1 超出范围（%2 到 %3%4）</translation>
    </message>
    <message>
        <source>%1 is outside %2 to %3 %4</source>
        <translation>%1 不在 %2 到 %3 %4 之内</translation>
    </message>
    <message>
        <source>%1 is not LO:HI (for example 5:40)</source>
        <translation>%1 不是 LO:HI 格式（例如 5:40）</translation>
    </message>
    <message>
        <source>%1 runs backwards (LO is above HI)</source>
        <translation>%1 顺序颠倒（LO 大于 HI）</translation>
    </message>
    <message>
        <source>the reading has no temperature</source>
        <translation>读数中没有温度</translation>
    </message>
    <message>
        <source>temperature %1 %2 (%3 %4)</source>
        <translation>温度 %1 %2（%3 %4）</translation>
    </message>
    <message>
        <source>the reading has no humidity</source>
        <translation>读数中没有湿度</translation>
    </message>
    <message>
        <source>sensor %1</source>
        <translation>传感器 %1</translation>
    </message>
    <message>
        <source>firmware %1</source>
        <translation>固件 %1</translation>
    </message>
    <message>
        <source>serial %1</source>
        <translation>序列号 %1</translation>
    </message>
    <message>
        <source>verified</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>commissioned</source>
        <translation>已完成设置</translation>
    </message>
    <message>
        <source>addresses %1</source>
        <translation>地址 %1</translation>
    </message>
    <message>
        <source>%1 units found in %2 s</source>
        <translation>%2 秒内找到 %1 台设备</translation>
    </message>
    <message>
        <source>garbled replies at %1</source>
        <translation>地址 %1 收到错误帧</translation>
    </message>
    <message>
        <source>no readable answer at %1 bit/s</source>
        <translation>波特率 %1 下无可识别的应答</translation>
    </message>
    <message>
        <source>no readable answer to the write</source>
        <translation>写入后无可识别的应答</translation>
    </message>
    <message>
        <source>no readable answer</source>
        <translation>无可识别的应答</translation>
    </message>
    <message>
        <source>no answer to the reading within %1 ms</source>
        <translation>读数请求在 %1 毫秒内无应答</translation>
    </message>
    <message>
        <source>no readable answer to the reading</source>
        <translation>读数请求无可识别的应答</translation>
    </message>
    <message>
        <source>address %1, %2 bit/s</source>
        <translation>地址 %1，波特率 %2</translation>
    </message>
    <message>
        <source>; it now listens at %1</source>
        <translation>；设备现在的设置：%1</translation>
    </message>
    <message>
        <source>; it was given %1</source>
        <translation>；已向设备写入：%1</translation>
    </message>
    <message>
        <source>no answer at any rate, not even at slave 0</source>
        <translation>所有波特率下均无应答，从站 0 也无应答</translation>
    </message>
    <message>
        <source>garbled replies at %1 (two units at one address?)</source>
        <translation>地址 %1 的应答为错误帧（一个地址上有两台设备？）</translation>
    </message>
    <message>
        <source>no unit answered at %1</source>
        <translation>地址 %1 均无设备应答</translation>
    </message>
    <message>
        <source>serial %1 answered at addresses %2</source>
        <translation>序列号 %1 在多个地址上应答：%2</translation>
    </message>
    <message>
        <source>no answer at %1 bit/s</source>
        <translation>波特率 %1 下无应答</translation>
    </message>
    <message>
        <source>address %1: %2</source>
        <translation>地址 %1：%2</translation>
    </message>
    <message>
        <source>slave %1 answers after %2 ms: waiting up to %3 ms</source>
        <translation>从站 %1 在 %2 毫秒后才应答：此后最多等待 %3 毫秒</translation>
    </message>
    <message>
        <source>garbled answers at address %1: two units at one address?</source>
        <translation>地址 %1 的应答错乱：是否有两台设备使用同一地址？</translation>
    </message>
    <message>
        <source>answers cut off at %1: raise the timeout (--timeout)</source>
        <translation>地址 %1 的应答被截断：请加大超时（--timeout）</translation>
    </message>
    <message numerus="yes">
        <source>%n units answer on this line, every one of them would take address %1: %2; nothing written</source>
        <translation>
            <numerusform>这条线路上有 %n 台设备应答，每一台都会改为地址 %1：%2；未写入任何内容</numerusform>
        </translation>
    </message>
    <message>
        <source>several units answer on this line at once, every one of them would take address %1; nothing written</source>
        <translation>这条线路上有多台设备同时应答，每一台都会改为地址 %1；未写入任何内容</translation>
    </message>
    <message>
        <source>waiting for the adapter to come back</source>
        <translation>正在等待 USB 转换器重新插入</translation>
    </message>
    <message>
        <source>the adapter is back</source>
        <translation>USB 转换器已恢复连接</translation>
    </message>
    <message>
        <source>nothing reads this fifo</source>
        <translation>没有程序在读取这个管道</translation>
    </message>
    <message>
        <source>--log %1 is the port %2: the frames would be sent down the line</source>
        <translation>--log %1 就是串口 %2：报文会被发到线路上</translation>
    </message>
    <message>
        <source>--log %1 is the device %2, not a file</source>
        <translation>--log %1 是设备 %2，不是文件</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1；%2</translation>
    </message>
    <message>
        <source>the broker did not answer the connection</source>
        <translation>MQTT 服务器未响应连接请求</translation>
    </message>
    <message>
        <source>the broker refused the user name or password (%1)</source>
        <translation>MQTT 服务器拒绝了用户名或密码（%1）</translation>
    </message>
    <message>
        <source>the broker refused the connection (%1)</source>
        <translation>MQTT 服务器拒绝了连接（%1）</translation>
    </message>
    <message>
        <source>the TLS handshake failed: the broker&apos;s certificate is not trusted (--mqtt-cafile), or the port does not speak TLS</source>
        <translation>TLS 握手失败：MQTT 服务器的证书不受信任（--mqtt-cafile），或该端口不使用 TLS</translation>
    </message>
    <message>
        <source>the prefix is empty</source>
        <translation>前缀为空</translation>
    </message>
    <message>
        <source>%1 holds a wildcard (+ or #), which cannot be published to</source>
        <translation>%1 含有通配符（+ 或 #），不能向其发布</translation>
    </message>
    <message>
        <source>%1 starts with /, which makes an empty first level</source>
        <translation>%1 以 / 开头，会使第一级为空</translation>
    </message>
    <message>
        <source>warning: the password goes to %1 in clear text; use mqtts:// across a network</source>
        <translation>警告：密码以明文发送到 %1；跨网络时请使用 mqtts://</translation>
    </message>
    <message>
        <source>the queue is full (%1 messages): the oldest are dropped</source>
        <translation>队列已满（%1 条消息）：丢弃最早的消息</translation>
    </message>
    <message>
        <source>connected again; %1 messages were dropped meanwhile</source>
        <translation>已重新连接；期间丢弃了 %1 条消息</translation>
    </message>
    <message>
        <source>connected again</source>
        <translation>已重新连接</translation>
    </message>
    <message>
        <source>connection lost (%1); readings wait in memory, up to %2 messages, until the broker is back</source>
        <translation>连接断开（%1）；读数暂存在内存中（最多 %2 条消息），直到 MQTT 服务器恢复</translation>
    </message>
    <message>
        <source>cannot connect (%1); readings wait in memory, up to %2 messages, until the broker answers</source>
        <translation>无法连接（%1）；读数暂存在内存中（最多 %2 条消息），直到 MQTT 服务器应答</translation>
    </message>
    <message>
        <source>%1 messages were dropped in all (--mqtt-queue %2)</source>
        <translation>共丢弃 %1 条消息（--mqtt-queue %2）</translation>
    </message>
    <message>
        <source>%1 messages did not reach the broker before the end</source>
        <translation>结束前有 %1 条消息未送达 MQTT 服务器</translation>
    </message>
    <message>
        <source>give mqtt://host[:port] or mqtts://host[:port]</source>
        <translation>请给出 mqtt://host[:port] 或 mqtts://host[:port]</translation>
    </message>
    <message>
        <source>%1 is not an MQTT URL: %2</source>
        <translation>%1 不是 MQTT 地址：%2</translation>
    </message>
    <message>
        <source>%1: a user name or password does not go in the URL; give --mqtt-user and --mqtt-password-file</source>
        <translation>%1：用户名和密码不能写在地址中；请使用 --mqtt-user 和 --mqtt-password-file</translation>
    </message>
    <message>
        <source>%1 has more than a host and a port: %2</source>
        <translation>%1 除主机和端口外还含有其他内容：%2</translation>
    </message>
    <message>
        <source>%1 has no valid host: %2</source>
        <translation>%1 没有有效的主机：%2</translation>
    </message>
    <message>
        <source>port %1</source>
        <translation>端口 %1</translation>
    </message>
    <message>
        <source>the value is empty</source>
        <translation>值为空</translation>
    </message>
    <message>
        <source>option --mqtt-password-file needs --mqtt-user</source>
        <translation>选项 --mqtt-password-file 需要 --mqtt-user</translation>
    </message>
    <message>
        <source>option --mqtt-cafile applies to mqtts:// only</source>
        <translation>选项 --mqtt-cafile 只适用于 mqtts://</translation>
    </message>
    <message>
        <source>option %1 needs --mqtt</source>
        <translation>选项 %1 需要 --mqtt</translation>
    </message>
    <message>
        <source>--report %1: not a regular file</source>
        <translation>--report %1：不是普通文件</translation>
    </message>
    <message>
        <source>--report %1: no such folder %2</source>
        <translation>--report %1：文件夹 %2 不存在</translation>
    </message>
    <message>
        <source>--first-point %1: %2</source>
        <translation>--first-point %1：%2</translation>
    </message>
    <message>
        <source>--first-point %1: no unit in it</source>
        <translation>--first-point %1：其中没有设备</translation>
    </message>
    <message>
        <source>--report %1 would replace the first point&apos;s report %2</source>
        <translation>--report %1 会覆盖第一个点的报告 %2</translation>
    </message>
    <message>
        <source>±%1 %2 less ±%3 %2</source>
        <translation>±%1 %2 减去 ±%3 %2</translation>
    </message>
    <message>
        <source>%1 %2 %3 beyond %4</source>
        <translation>%1 %2 %3 超出 %4</translation>
    </message>
    <message>
        <source>the reference at address %1 does not answer: %2</source>
        <translation>地址 %1 的参考无应答：%2</translation>
    </message>
    <message>
        <source>no unit of %1 answers: %2</source>
        <translation>%1 中没有设备应答：%2</translation>
    </message>
    <message numerus="yes">
        <source>checking %n unit(s): each judged once steady for %1, all within %2</source>
        <translation>
            <numerusform>正在检验 %n 台设备：每台稳定 %1 后判定，全部在 %2 内完成</numerusform>
        </translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n unit(s) did not pass</source>
        <translation>
            <numerusform>%n 台设备中有 %1 台未合格</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 at the first point</source>
        <translation>在第一个点%1</translation>
    </message>
    <message>
        <source>temperature</source>
        <translation>温度</translation>
    </message>
    <message>
        <source>humidity</source>
        <translation>湿度</translation>
    </message>
    <message>
        <source>fail: %1</source>
        <translation>不合格：%1</translation>
    </message>
    <message>
        <source>unstable: its readings did not stay within %1 °C and %2 %RH over %3 before %4</source>
        <translation>不稳定：在 %4 之前，其读数未能在任何 %3 内保持在 %1 °C 和 %2 %RH 以内</translation>
    </message>
    <message>
        <source>still waiting for the reference when the check ended</source>
        <translation>检验结束时仍在等待参考</translation>
    </message>
    <message>
        <source>still settling when the check ended (%1 left)</source>
        <translation>检验结束时仍在稳定中（还需 %1）</translation>
    </message>
    <message>
        <source>no answer during the check</source>
        <translation>检验期间无应答</translation>
    </message>
    <message>
        <source>no answer since %1</source>
        <translation>自 %1 起无应答</translation>
    </message>
    <message>
        <source>no answer: too few readings to judge</source>
        <translation>无应答：读数太少，无法判定</translation>
    </message>
    <message>
        <source>check: no addresses given (--addresses LIST)</source>
        <translation>check：未给出地址（--addresses LIST）</translation>
    </message>
    <message>
        <source>check: no reference given (--reference ADDR, or --reference-temperature and --reference-humidity)</source>
        <translation>check：未给出参考（--reference ADDR，或 --reference-temperature 和 --reference-humidity）</translation>
    </message>
    <message>
        <source>check: --reference and typed reference values do not go together</source>
        <translation>check：--reference 不能与输入的参考数值同时使用</translation>
    </message>
    <message>
        <source>check: no unit to check besides the reference</source>
        <translation>check：除参考外没有要检验的设备</translation>
    </message>
    <message>
        <source>check: --period %1 ms would leave too long between a unit&apos;s readings; at most %2 ms</source>
        <translation>check：--period %1 毫秒会使同一设备两次读数相隔太久；最多 %2 毫秒</translation>
    </message>
    <message>
        <source>reference %1</source>
        <translation>参考 %1</translation>
    </message>
    <message>
        <source>deviation %1</source>
        <translation>偏差 %1</translation>
    </message>
    <message>
        <source>tolerance ±%1 less ±%2</source>
        <translation>允差 ±%1 减去 ±%2</translation>
    </message>
    <message>
        <source>tolerance ±%1</source>
        <translation>允差 ±%1</translation>
    </message>
    <message>
        <source>waiting for the reference</source>
        <translation>等待参考</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>还需 %1</translation>
    </message>
    <message>
        <source>temperature %1</source>
        <translation>温度 %1</translation>
    </message>
    <message>
        <source>humidity %1</source>
        <translation>湿度 %1</translation>
    </message>
    <message>
        <source>at both points: %1</source>
        <translation>两点判定：%1</translation>
    </message>
    <message>
        <source>temperature: unit = %1 × reference %2</source>
        <translation>温度：变送器 = %1 × 参考 %2</translation>
    </message>
    <message>
        <source>humidity: unit = %1 × reference %2</source>
        <translation>湿度：变送器 = %1 × 参考 %2</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation>%1 分 %2 秒</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s): %1</source>
        <translation>
            <numerusform>%n 台设备：%1</numerusform>
        </translation>
    </message>
    <message>
        <source>in %1</source>
        <translation>用时 %1</translation>
    </message>
    <message>
        <source>report %1</source>
        <translation>报告 %1</translation>
    </message>
    <message>
        <source>Usage: tervin-cli COMMAND [OPTIONS] PORT...
Finds, reads and sets up Tervin Modbus RTU temperature/humidity transmitters.

Commands:
  scan PORT...            find the rate and address on each port (115200, 19200,
                          9600, 4800, 2400, 1200 in turn) and print the device
                          information; the ports are scanned at the same time
  scan PORT --addresses LIST
                          every unit of a multi-drop line: ask each address of
                          LIST (1-247, or 1,5,9-12) in turn, then a summary
  info PORT               the device information
  read PORT...            the readings of the units on each port, one line each,
                          in each unit&apos;s own unit; with --mqtt, to a broker too
  set-address PORT NEW    write a new address (1 to 247) and verify it there
  set-baud PORT RATE      write a new rate and verify it at that rate
  commission PORT --address NEW [--baud RATE]
                          find the unit, write its address and rate, verify
                          each, take one reading and check the limits
  check PORT --addresses LIST (--reference ADDR | --reference-temperature T[:U]
        --reference-humidity H[:U])
                          poll the units of LIST round after round, judge each
                          against the reference once both have settled, and
                          print a verdict a unit: pass, fail, settling,
                          unstable or no_answer; then a summary

A PORT with a / or that exists in the current folder is used as given; a bare
name is looked up under /dev/. The same device may not be given twice.

Options of every command:
  --format text|csv|json  how records are printed (JSON: one object per line)
  --no-header             CSV without the header line, to append to a file
  --log FILE              append every frame to FILE, as the window&apos;s capture
  --timeout MS            wait MS (1 to 60000) for a reply to begin once the
                          request is on the wire, instead of the time the rate
                          gives (scan --addresses: about 20 ms at 9600); without
                          it, a unit that answers late is waited for longer
  --retries N             send a request again up to N times (0 to 10, default 0)
                          after no answer or a garbled reply
  --verbose               print every frame on standard error
  -h, --help              print this help
  -V, --version           print the version

Options of info, read, set-address and set-baud:
  --baud R                the device&apos;s rate (without it, the rate is searched)
  --address A             the device&apos;s address, 1 to 247 (without it, the one
                          device on the line answers at slave 0); read takes a
                          list, A,B,C, and polls the units round after round (a
                          unit that stops answering is asked less often, at last
                          every tenth round)

Options of scan with --addresses:
  --baud R                the line&apos;s rate (without it, the addresses are asked
                          at each rate where slave 0 gets any reply)

Options of read:
  --block x10|x100        tenths (default) or hundredths
  --what all|temperature|humidity|dew
                          which readings (default all)
  --count N               N rounds (default 1; 0 reads until interrupted, and
                          waits for a pulled adapter to come back)
  --period MS             one reading every MS, 100 to 86400000 (default 1000)
  --quiet                 no records on standard output
  --mqtt URL              publish every reading to the MQTT broker at URL,
                          mqtt://host[:port] (1883) or mqtts://host[:port] (8883,
                          TLS), at QoS 1: PREFIX/SERIAL/state (retained JSON),
                          PREFIX/SERIAL/availability (online, or offline after 3
                          unanswered polls), PREFIX/bridge/HOST/status (online,
                          offline as the last will) and Home Assistant discovery
  --mqtt-prefix PREFIX    the first topic level (default tervin; no + or #, no
                          leading /)
  --no-discovery          no Home Assistant discovery messages
  --mqtt-queue N          messages kept while the broker is away, 1 to 10000000
                          (default 100000); past it the oldest are dropped,
                          counted in mqtt_dropped, and the status is 3
  --mqtt-user NAME        the user name at the broker
  --mqtt-password-file FILE
                          the password: the first line of FILE (without it,
                          the environment variable TERVIN_MQTT_PASSWORD)
  --mqtt-cafile FILE      mqtts://: the certificate authorities to trust (default:
                          the system&apos;s)

Options of commission:
  --address NEW           the address the unit is to take (needed)
  --baud RATE             the rate the unit is to take (default: keep its rate)
  --expect-temperature LO:HI
                          the temperature must lie within LO:HI, in Celsius
  --expect-humidity LO:HI the humidity must lie within LO:HI, in %

Options of check:
  --addresses LIST        the units checked (1-247, or 1,5,9-12)
  --reference ADDR        the reference: the unit at ADDR on the same line,
                          polled with the units (in LIST or not), never judged
  --reference-temperature T[:U]
  --reference-humidity H[:U]
                          or a reference instrument&apos;s values, in Celsius and
                          %RH, with their uncertainty U (either or both)
  --settle DURATION       settled once steady this long: 10m (default), 90s,
                          1h30m; at least 1m
  --unstable-after DURATION
                          a unit not settled by then is unstable (default three
                          settle times); the check ends one settle time later
  --band-temperature X    steady: within X Celsius (default 0.1)
  --band-humidity Y       and Y %RH (default 0.5), highest minus lowest
  --tolerance-temperature X
  --tolerance-humidity Y  the tolerance of every unit, in Celsius and %RH
                          (default: its sensor family&apos;s)
  --report FILE           write the report as PDF to FILE and as CSV beside it
                          (check.pdf: check.csv; FILE without .pdf: FILE.csv)
  --note TEXT             the operator&apos;s note (lot, order, chamber), in the
                          report and the summary
  --first-point FILE      a first point&apos;s CSV report: each unit is judged at
                          both points, with its offset and slope
  --period MS             a round of polls every MS, at most 15000 (default 1000)
  --baud R                the line&apos;s rate (without it, the rate is searched)

Every record carries time, command, port, address, baud, serial, result, error
and tries; result is ok, no_answer, garbled, other_slave, exception,
not_verified, out_of_range, port_error, several_units (an address write
refused, nothing written, because more than one unit would take it) or
not_settled (check: unstable, or still settling at the end; a unit that
failed is out_of_range).

Exit status:
  0  success
  1  a device did not answer, refused, or a change or check did not pass (check:
     a unit that did not pass)
  2  usage error: nothing was sent
  3  a port could not be opened or went away, or the output was lost (standard
     output, the --log file or the --report files could not be written), or the
     broker refused the user name or password, or dropped readings, or did not
     take them all by the end
With several ports, the status is the worst of them.
</source>
        <translation>用法：tervin-cli 命令 [选项] 串口...
查找、读取和设置 Tervin Modbus RTU 温湿度变送器。

命令：
  scan PORT...            在每个串口上依次以 115200、19200、9600、4800、2400、
                          1200 波特率查找设备的波特率和地址，并打印设备信息；
                          各串口同时扫描
  scan PORT --addresses LIST
                          多站线路上的每台设备：依次询问 LIST（1-247，或
                          1,5,9-12）中的每个地址，最后打印汇总
  info PORT               设备信息
  read PORT...            每个串口上各设备的读数，每次一行，使用各设备自己的
                          单位；带 --mqtt 时同时发布到 MQTT 服务器
  set-address PORT NEW    写入新地址（1 到 247），并在新地址上确认
  set-baud PORT RATE      写入新波特率，并以新波特率确认
  commission PORT --address NEW [--baud RATE]
                          查找设备，写入地址和波特率并逐一确认，读取一次读数
                          并检查限值
  check PORT --addresses LIST (--reference ADDR | --reference-temperature T[:U]
        --reference-humidity H[:U])
                          一轮接一轮地轮询 LIST 中的设备，待设备与参考都稳定后
                          与参考比较判定，每台设备打印一个判定：pass、fail、
                          settling、unstable 或 no_answer；最后打印汇总

含 / 的 PORT，或当前文件夹中存在的 PORT，按原样使用；单独的名称在 /dev/ 下
查找。同一设备不能给出两次。

所有命令的选项：
  --format text|csv|json  记录的打印格式（JSON：每行一个对象）
  --no-header             CSV 不带表头行，便于追加到文件
  --log FILE              把每个报文追加到 FILE，格式与窗口的报文保存相同
  --timeout MS            请求发出后等待应答开始 MS 毫秒（1 到 60000），代替
                          由波特率决定的时间（scan --addresses：9600 时约 20 毫秒）；
                          不给出时，应答迟到的设备会被等待更久
  --retries N             无应答或应答错乱后最多重发 N 次（0 到 10，默认 0）
  --verbose               在标准错误上打印每个报文
  -h, --help              打印本帮助
  -V, --version           打印版本

info、read、set-address 和 set-baud 的选项：
  --baud R                设备的波特率（不给出时自动查找）
  --address A             设备的地址，1 到 247（不给出时，由线路上唯一的设备在
                          从站 0 应答）；read 可接受列表 A,B,C，一轮接一轮地
                          轮询各设备（不再应答的设备会越来越少被询问，最终每十
                          轮一次）

scan 带 --addresses 时的选项：
  --baud R                线路的波特率（不给出时，在从站 0 有任何应答的每个波特
                          率下询问各地址）

read 的选项：
  --block x10|x100        十分位（默认）或百分位
  --what all|temperature|humidity|dew
                          读取哪些读数（默认 all）
  --count N               读取 N 轮（默认 1；0 表示一直读到被中断，并等待拔出的
                          USB 转换器重新插入）
  --period MS             每 MS 毫秒读取一次，100 到 86400000（默认 1000）
  --quiet                 不在标准输出上打印记录
  --mqtt URL              把每个读数以 QoS 1 发布到 URL 处的 MQTT 服务器，
                          mqtt://host[:port]（1883）或 mqtts://host[:port]
                          （8883，TLS）：PREFIX/SERIAL/state（保留的 JSON）、
                          PREFIX/SERIAL/availability（online；连续 3 次无应答
                          后为 offline）、PREFIX/bridge/HOST/status（online；
                          遗嘱消息为 offline）以及 Home Assistant 自动发现
  --mqtt-prefix PREFIX    主题的第一级（默认 tervin；不能含 + 或 #，不能以 /
                          开头）
  --no-discovery          不发送 Home Assistant 自动发现消息
  --mqtt-queue N          MQTT 服务器不可用时保留的消息数，1 到 10000000
                          （默认 100000）；超出时丢弃最早的消息，计入
                          mqtt_dropped，退出状态为 3
  --mqtt-user NAME        MQTT 服务器上的用户名
  --mqtt-password-file FILE
                          密码：FILE 的第一行（不给出时使用环境变量
                          TERVIN_MQTT_PASSWORD）
  --mqtt-cafile FILE      mqtts://：信任的证书颁发机构（默认：系统的）

commission 的选项：
  --address NEW           设备要改用的地址（必需）
  --baud RATE             设备要改用的波特率（默认保持原波特率）
  --expect-temperature LO:HI
                          温度必须在 LO:HI 之内，单位摄氏度
  --expect-humidity LO:HI 湿度必须在 LO:HI 之内，单位 %

check 的选项：
  --addresses LIST        被检验的设备（1-247，或 1,5,9-12）
  --reference ADDR        参考：同一线路上地址为 ADDR 的设备，与各设备一起轮询
                          （不论是否在 LIST 中），本身不判定
  --reference-temperature T[:U]
  --reference-humidity H[:U]
                          或参考仪器的读数，单位摄氏度和 %RH，U 为其不确定度
                          （可只给其一）
  --settle DURATION       保持稳定这么久即为已稳定：10m（默认）、90s、1h30m；
                          至少 1m
  --unstable-after DURATION
                          到此时仍未稳定的设备判为不稳定（默认三个稳定时间）；
                          检验在此后再过一个稳定时间结束
  --band-temperature X    稳定：在 X 摄氏度之内（默认 0.1）
  --band-humidity Y       和 Y %RH 之内（默认 0.5），以最高减最低计
  --tolerance-temperature X
  --tolerance-humidity Y  每台设备的允差，单位摄氏度和 %RH（默认按其传感器系列）
  --report FILE           把报告以 PDF 写入 FILE，并在旁边写一份 CSV
                          （check.pdf：check.csv；不以 .pdf 结尾时：FILE.csv）
  --note TEXT             操作员的备注（批号、订单、试验箱），写入报告和汇总
  --first-point FILE      第一个点的 CSV 报告：每台设备在两个点上判定，并给出
                          其偏移和斜率
  --period MS             每 MS 毫秒轮询一轮，最多 15000（默认 1000）
  --baud R                线路的波特率（不给出时自动查找）

每条记录都含有 time、command、port、address、baud、serial、result、error
和 tries；result 为 ok、no_answer、garbled、other_slave、exception、
not_verified、out_of_range、port_error、several_units（地址写入被拒绝，未写入
任何内容，因为会有不止一台设备改用该地址）或 not_settled（check：不稳定，或
结束时仍在稳定中；不合格的设备为 out_of_range）。

退出状态：
  0  成功
  1  设备无应答、拒绝，或更改、检查未通过（check：有设备未合格）
  2  用法错误：未发送任何内容
  3  串口无法打开或已断开，或输出丢失（标准输出、--log 文件或 --report 文件
     无法写入），或 MQTT 服务器拒绝了用户名或密码，或丢弃了读数，或到结束时
     未收下全部读数
有多个串口时，退出状态取其中最差者。
</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>the disk is full</source>
        <translation>磁盘已满</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>没有写入权限</translation>
    </message>
    <message>
        <source>the disk is read-only</source>
        <translation>磁盘为只读</translation>
    </message>
    <message>
        <source>a file stands where the folder should be</source>
        <translation>已有同名文件占用了该文件夹的位置</translation>
    </message>
    <message>
        <source>no such folder</source>
        <translation>文件夹不存在</translation>
    </message>
    <message>
        <source>input/output error</source>
        <translation>读写错误</translation>
    </message>
    <message>
        <source>the system reports: %1</source>
        <translation>系统报告：%1</translation>
    </message>
</context>
<context>
    <name>LineCheck</name>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s): %1</source>
        <translation>
            <numerusform>%n 台设备：%1</numerusform>
        </translation>
    </message>
    <message>
        <source>Deviation °C</source>
        <translation>偏差 °C</translation>
    </message>
    <message>
        <source>Deviation %RH</source>
        <translation>偏差 %RH</translation>
    </message>
    <message>
        <source>Settled</source>
        <translation>已稳定</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>reference</source>
        <translation>参考</translation>
    </message>
    <message>
        <source>The reference: every unit is compared with its readings</source>
        <translation>参考：每台设备都与它的读数比较</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>no</source>
        <translation>否</translation>
    </message>
    <message>
        <source>waiting for the reference</source>
        <translation>等待参考</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>还需 %1 秒</translation>
    </message>
    <message>
        <source>%1 min %2 s left</source>
        <translation>还需 %1 分 %2 秒</translation>
    </message>
    <message>
        <source>No reading to judge: the unit is silent, or has given none for 30 s</source>
        <translation>没有可判定的读数：设备无应答，或 30 秒内没有读数</translation>
    </message>
    <message>
        <source>mean %1 %2</source>
        <translation>均值 %1 %2</translation>
    </message>
    <message>
        <source>reference %1 %2</source>
        <translation>参考 %1 %2</translation>
    </message>
    <message>
        <source>tolerance ±%1 %2 less ±%3 %2</source>
        <translation>允差 ±%1 %2 减去 ±%3 %2</translation>
    </message>
    <message>
        <source>tolerance ±%1 %2</source>
        <translation>允差 ±%1 %2</translation>
    </message>
</context>
<context>
    <name>LineWindow</name>
    <message>
        <source>Line</source>
        <translation>线路</translation>
    </message>
    <message>
        <source>The addresses the scan asks: 1-247, or a list such as 1,5,9-12</source>
        <translation>扫描要询问的地址：1-247，或如 1,5,9-12 的列表</translation>
    </message>
    <message>
        <source>Scan</source>
        <translation>扫描</translation>
    </message>
    <message>
        <source>Asks each address for its device information, at the link&apos;s rate, and lists every unit that answers</source>
        <translation>以当前连接的波特率逐个询问各地址的设备信息，列出每台应答的设备</translation>
    </message>
    <message>
        <source>%v of %m addresses</source>
        <translation>%v / %m 个地址</translation>
    </message>
    <message>
        <source>How far the scan has come</source>
        <translation>扫描进度</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Stops the scan; the units found so far stay listed</source>
        <translation>停止扫描；已找到的设备保留在列表中</translation>
    </message>
    <message>
        <source>Milliseconds between rounds (at least 100); a round asks every unit once, and the next starts at once when a round takes longer</source>
        <translation>每轮之间的毫秒数（至少 100）；每轮询问每台设备一次，一轮用时更长时下一轮立即开始</translation>
    </message>
    <message>
        <source>Poll line</source>
        <translation>轮询线路</translation>
    </message>
    <message>
        <source>Reads every listed unit in turn, round after round; press again to stop</source>
        <translation>一轮接一轮地依次读取列表中的每台设备；再按一次停止</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>复制</translation>
    </message>
    <message>
        <source>Copies the selected rows (or all) to the clipboard, as CSV</source>
        <translation>将选中的行（未选则全部）以 CSV 格式复制到剪贴板</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>导出 CSV</translation>
    </message>
    <message>
        <source>Writes the table to a CSV file</source>
        <translation>将表格写入 CSV 文件</translation>
    </message>
    <message>
        <source>The units on the line; choose one to make it the window&apos;s unit. Click a heading to sort</source>
        <translation>线路上的设备；选中一台即成为主窗口当前的设备。点击表头可排序</translation>
    </message>
    <message>
        <source>Addresses:</source>
        <translation>地址：</translation>
    </message>
    <message>
        <source>Period (ms):</source>
        <translation>周期（毫秒）：</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Addresses: %1</source>
        <translation>地址：%1</translation>
    </message>
    <message>
        <source>Not linked: use Link in the main window first.</source>
        <translation>未连接：请先在主窗口中点击“连接”。</translation>
    </message>
    <message>
        <source>Scanning at %1 bit/s…</source>
        <translation>正在以 %1 波特率扫描…</translation>
    </message>
    <message numerus="yes">
        <source>Scan cancelled: %n unit(s) found so far</source>
        <translation>
            <numerusform>扫描已取消：目前已找到 %n 台设备</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n unit(s) found in %1 s</source>
        <translation>
            <numerusform>%1 秒内找到 %n 台设备</numerusform>
        </translation>
    </message>
    <message>
        <source>garbled answers at %1: two units at one address?</source>
        <translation>地址 %1 的应答错乱：是否有两台设备使用同一地址？</translation>
    </message>
    <message>
        <source>answers cut off at %1: raise the timeout</source>
        <translation>地址 %1 的应答被截断：请加大超时</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <source>Period: %1</source>
        <translation>周期：%1</translation>
    </message>
    <message>
        <source>No unit listed: Scan first.</source>
        <translation>列表中没有设备：请先扫描。</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>The table is in %1</source>
        <translation>表格已保存到 %1</translation>
    </message>
    <message>
        <source>serial %1 answers at addresses %2</source>
        <translation>序列号 %1 在地址 %2 上都有应答</translation>
    </message>
</context>
<context>
    <name>Link</name>
    <message>
        <source>port closed</source>
        <translation>串口已关闭</translation>
    </message>
    <message>
        <source>the adapter was unplugged</source>
        <translation>USB 转换器已拔出</translation>
    </message>
    <message>
        <source>no such port</source>
        <translation>找不到该串口</translation>
    </message>
    <message>
        <source>permission denied (add your account to the dialout group)</source>
        <translation>没有权限（请把您的账户加入 dialout 组）</translation>
    </message>
    <message>
        <source>in use by another program</source>
        <translation>正被其他程序占用</translation>
    </message>
    <message>
        <source>input/output error</source>
        <translation>读写错误</translation>
    </message>
    <message>
        <source>a storm of 0x00/0xFF bytes, the sign of a failing adapter</source>
        <translation>收到大量 0x00/0xFF 字节，USB 转换器可能已损坏</translation>
    </message>
    <message>
        <source>the system reports: %1</source>
        <translation>系统报告：%1</translation>
    </message>
    <message>
        <source>serial %1, %2</source>
        <translation>序列号 %1，%2</translation>
    </message>
    <message>
        <source>no answer at address %1</source>
        <translation>地址 %1 无应答</translation>
    </message>
    <message>
        <source>no answer at %1 bit/s</source>
        <translation>波特率 %1 下无应答</translation>
    </message>
    <message>
        <source>the device refused the read-back</source>
        <translation>设备拒绝了回读</translation>
    </message>
    <message>
        <source>the device reports %1 bit/s, not %2</source>
        <translation>设备报告的波特率是 %1，不是 %2</translation>
    </message>
    <message>
        <source>another unit answered: %1</source>
        <translation>应答的是另一台设备：%1</translation>
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
        <translation>已受理，正在处理</translation>
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
        <source>exception 0x%1 (%2)</source>
        <translation>异常 0x%1（%2）</translation>
    </message>
    <message>
        <source>%1 (serial %2)</source>
        <translation>%1（序列号 %2）</translation>
    </message>
    <message>
        <source>the unit at %1 reports address %2</source>
        <translation>地址 %1 处的设备报告其地址为 %2</translation>
    </message>
</context>
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
        <translation>串口名：</translation>
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
        <source>No serial port found. Is the adapter plugged in?</source>
        <translation>未找到串口。USB 转换器插好了吗？</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <comment>a port and why it cannot be opened</comment>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>The serial port the transmitter is on: pick a listed port, or type its path</source>
        <translation>变送器所接的串口：从列表中选择，或输入其路径</translation>
    </message>
    <message>
        <source>The rate the transmitter talks at, or AUTO to find it by trying the six rates in turn</source>
        <translation>变送器的波特率；选“自动”则依次尝试六种波特率查找</translation>
    </message>
    <message>
        <source>Data bits: the transmitters talk 8N1, and the port is always opened so</source>
        <translation>数据位：变送器使用 8N1，串口总是按此打开</translation>
    </message>
    <message>
        <source>Parity: the transmitters use none, and the port is always opened so</source>
        <translation>校验位：变送器不使用校验，串口总是按此打开</translation>
    </message>
    <message>
        <source>Stop bits: the transmitters use one, and the port is always opened so</source>
        <translation>停止位：变送器使用 1 位停止位，串口总是按此打开</translation>
    </message>
    <message>
        <source>Link to this port at this rate (the link before ends now)</source>
        <translation>以此波特率连接此串口（原有连接随即结束）</translation>
    </message>
    <message>
        <source>Close, leaving the link as it is</source>
        <translation>关闭，连接保持不变</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>Follow</source>
        <translation>跟踪最新</translation>
    </message>
    <message>
        <source>Trend</source>
        <translation>趋势图</translation>
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
        <translation>当前显示范围内没有读数。</translation>
    </message>
    <message>
        <source>In sight: </source>
        <translation>当前显示范围内：</translation>
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
    <message>
        <source>; </source>
        <comment>between the series</comment>
        <translation>；</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the values of one reading</comment>
        <translation>，</translation>
    </message>
    <message>
        <source>Back to the newest reading, at the width zoomed to</source>
        <translation>跟踪最新读数，保持当前缩放宽度</translation>
    </message>
    <message>
        <source>Forget every reading drawn so far</source>
        <translation>清除图中已有的全部读数</translation>
    </message>
    <message>
        <source>Save the chart as it is shown, as a PNG image</source>
        <translation>将当前显示的曲线保存为 PNG 图片</translation>
    </message>
    <message>
        <source>Write the readings in sight to a CSV file, as the readings file</source>
        <translation>将当前显示范围内的读数写入 CSV 文件，格式与读数文件相同</translation>
    </message>
</context>
<context>
    <name>UnitTable</name>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>型号</translation>
    </message>
    <message>
        <source>Sensor</source>
        <translation>传感器</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>固件</translation>
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
        <source>Age</source>
        <translation>时长</translation>
    </message>
    <message>
        <source>Answered</source>
        <translation>应答率</translation>
    </message>
    <message>
        <source>Timeouts</source>
        <translation>超时</translation>
    </message>
    <message>
        <source>Bad frames</source>
        <translation>错误帧</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>平均</translation>
    </message>
    <message>
        <source>95 %</source>
        <translation>95 %</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 分钟</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> 毫秒</translation>
    </message>
    <message>
        <source>two units at address %1?</source>
        <translation>地址 %1 上有两台设备？</translation>
    </message>
    <message>
        <source>silent since %1</source>
        <translation>自 %1 起无应答</translation>
    </message>
    <message>
        <source>answering</source>
        <translation>应答正常</translation>
    </message>
    <message>
        <source>not heard yet</source>
        <translation>尚未应答</translation>
    </message>
</context>
<context>
    <name>Values</name>
    <message>
        <source>%1 is not a number</source>
        <translation>%1 不是数字</translation>
    </message>
    <message>
        <source>%1 is out of range (%2 to %3%4)</source>
        <translation>%1 超出范围（%2 到 %3%4）</translation>
    </message>
    <message>
        <source>%1 has an empty item</source>
        <translation>%1 中有空项</translation>
    </message>
    <message>
        <source>%1 runs backwards</source>
        <translation>%1 顺序颠倒</translation>
    </message>
    <message>
        <source>address %1 is given twice</source>
        <translation>地址 %1 给出了两次</translation>
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
        <translation>保存报文到文件</translation>
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
        <translation>地址应在 1 到 247 之间！</translation>
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
        <translation>USB 转换器出错，请重新插入！</translation>
    </message>
    <message>
        <source>Cannot write the capture file %1: %2</source>
        <translation>无法写入报文文件 %1：%2</translation>
    </message>
    <message numerus="yes">
        <source>%n new line(s) below - press End to follow</source>
        <translation>
            <numerusform>下方有 %n 行新报文——按 End 键跳到最新</numerusform>
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
        <translation>Tervin 测试工具</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Sent %1, replies %2, timeouts %3, bad frames %4, exceptions %5, late %6, skipped %7, response %8 ms (mean %9 ms)</source>
        <translation>发送 %1，应答 %2，超时 %3，错误帧 %4，异常应答 %5，延迟应答 %6，跳过 %7，响应 %8 毫秒（平均 %9 毫秒）</translation>
    </message>
    <message>
        <source>(late, ignored)</source>
        <translation>（延迟应答，已忽略）</translation>
    </message>
    <message>
        <source>no reply within %1 ms</source>
        <translation>%1 毫秒内无应答</translation>
    </message>
    <message>
        <source>now at %1, verified</source>
        <translation>波特率已改为 %1，已确认</translation>
    </message>
    <message>
        <source>address %1, verified</source>
        <translation>地址已改为 %1，已确认</translation>
    </message>
    <message>
        <source>The device did not answer at %1 after the change. Use Link with AUTO to find it.</source>
        <translation>更改后设备在波特率 %1 下无应答。请点“连接”并选择“自动”查找设备。</translation>
    </message>
    <message>
        <source>The device did not answer at address %1 after the change.</source>
        <translation>更改后设备在地址 %1 无应答。</translation>
    </message>
    <message>
        <source>waiting for the adapter to come back</source>
        <translation>正在等待 USB 转换器重新插入</translation>
    </message>
    <message>
        <source>the adapter did not come back</source>
        <translation>USB 转换器未重新插入</translation>
    </message>
    <message numerus="yes">
        <source>%1 did not come back within %n minute(s)</source>
        <translation>
            <numerusform>%1 在 %n 分钟内未恢复连接</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The adapter did not come back within %n minute(s). Use Link once it is plugged in again.</source>
        <translation>
            <numerusform>USB 转换器在 %n 分钟内未重新插入。插好后请点“连接”。</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is back</source>
        <translation>%1 已恢复连接</translation>
    </message>
    <message>
        <source>%1 lost: %2</source>
        <translation>%1 已断开：%2</translation>
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
        <translation>本次不再提示</translation>
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
        <translation>正在以 %1 波特率搜索从站 0…</translation>
    </message>
    <message>
        <source>searching %1…</source>
        <translation>正在以 %1 波特率搜索…</translation>
    </message>
    <message>
        <source>%1: no answer at any rate</source>
        <translation>%1：所有波特率下均无应答</translation>
    </message>
    <message>
        <source>%1 at %2, linked</source>
        <translation>已连接：%1，波特率 %2</translation>
    </message>
    <message>
        <source>port lost</source>
        <translation>串口已断开</translation>
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
        <translation>查找文字或十六进制字节（回车：下一个，Shift+回车：上一个）</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message numerus="yes">
        <source>Drop the %n line(s) from the view? The capture file keeps them.</source>
        <translation>
            <numerusform>从视图中清除这 %n 行？报文文件中仍保留这些行。</numerusform>
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
        <translation>趋势图</translation>
    </message>
    <message>
        <source>Save readings</source>
        <translation>保存读数到表格</translation>
    </message>
    <message>
        <source>Cannot write the readings file %1: %2</source>
        <translation>无法写入读数文件 %1：%2</translation>
    </message>
    <message>
        <source>not verified: %1</source>
        <translation>未确认：%1</translation>
    </message>
    <message>
        <source>The change is not verified: %1.</source>
        <translation>更改未确认：%1。</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>at %1: %2</source>
        <translation>波特率 %1：%2</translation>
    </message>
    <message>
        <source>%1: no valid answer at any rate; %2</source>
        <translation>%1：所有波特率下均无有效应答；%2</translation>
    </message>
    <message>
        <source>%1 at %2, no answer</source>
        <translation>无应答：%1，波特率 %2</translation>
    </message>
    <message>
        <source>a late reply</source>
        <translation>延迟应答</translation>
    </message>
    <message>
        <source>a garbled reply (incomplete)</source>
        <translation>错误帧（不完整）</translation>
    </message>
    <message>
        <source>a garbled reply (bad CRC)</source>
        <translation>错误帧（CRC 错误）</translation>
    </message>
    <message>
        <source>a garbled reply (extra bytes)</source>
        <translation>错误帧（多余字节）</translation>
    </message>
    <message>
        <source>a reply from slave %1</source>
        <translation>来自从站 %1 的应答</translation>
    </message>
    <message>
        <source>a different unit is on %1 now: %2</source>
        <translation>%1 上已换成另一台设备：%2</translation>
    </message>
    <message>
        <source>The unit&apos;s model, read from register 0x0103 (a Tervin-F measures in degrees Fahrenheit)</source>
        <translation>设备类型，从寄存器 0x0103 读取（Tervin-F 以华氏度测量）</translation>
    </message>
    <message>
        <source>The device type is set at the factory</source>
        <translation>设备类型在出厂时设定</translation>
    </message>
    <message>
        <source>Reads the device type (register 0x0103)</source>
        <translation>读取设备类型（寄存器 0x0103）</translation>
    </message>
    <message>
        <source>The unit&apos;s baud rate as last read; choose another and press Setting to change it</source>
        <translation>设备的波特率（上次读到的值）；选择另一个并按“设置”即可更改</translation>
    </message>
    <message>
        <source>Writes the chosen baud rate to the unit (register 0x0101); the tool follows it to the new rate and checks it there</source>
        <translation>把选中的波特率写入设备（寄存器 0x0101），随后以新波特率连接并确认</translation>
    </message>
    <message>
        <source>The unit&apos;s Modbus address, 1 to 247: every request goes to it. Polling takes it once you press Return or leave the field</source>
        <translation>设备的 Modbus 地址，1 到 247，所有请求都发往此地址。按回车键或离开输入框后，定时读取才使用新地址</translation>
    </message>
    <message>
        <source>Writes the typed address to the unit (register 0x0100). It is sent to slave 0, so every transmitter on the line takes it</source>
        <translation>把输入的地址写入设备（寄存器 0x0100）。该命令发往从站 0，总线上的每台变送器都会接受</translation>
    </message>
    <message>
        <source>Reads the unit&apos;s address (register 0x0100, asked at slave 0)</source>
        <translation>读取设备地址（寄存器 0x0100，向从站 0 询问）</translation>
    </message>
    <message>
        <source>The sensor in the unit, read from register 0x0107</source>
        <translation>设备中的传感器类型，从寄存器 0x0107 读取</translation>
    </message>
    <message>
        <source>The sensor type is set at the factory</source>
        <translation>传感器类型在出厂时设定</translation>
    </message>
    <message>
        <source>Reads the sensor type (register 0x0107)</source>
        <translation>读取传感器类型（寄存器 0x0107）</translation>
    </message>
    <message>
        <source>Which register block is read: *10 gives tenths, *100 hundredths</source>
        <translation>读取哪一组寄存器：*10 为一位小数，*100 为两位小数</translation>
    </message>
    <message>
        <source>Which readings each periodic read asks for</source>
        <translation>每次定时读取哪些读数</translation>
    </message>
    <message>
        <source>Time between two periodic reads, in milliseconds (at least 100)</source>
        <translation>两次定时读取之间的间隔，单位为毫秒（至少 100）</translation>
    </message>
    <message>
        <source>Opens the trend: every reading since the tool started, over time</source>
        <translation>打开趋势图：本次启动以来的所有读数随时间的变化</translation>
    </message>
    <message>
        <source>Saves every frame sent and received, as the view shows it, to a file in the Data folder where the tool runs, named by the moment you tick this (e.g. Log20261207130249.txt)</source>
        <translation>把收发的每一帧报文按视图中的样子保存到运行目录下的 Data 文件夹，文件以勾选的时刻命名（如 Log20261207130249.txt）</translation>
    </message>
    <message>
        <source>Saves every reading (temperature, humidity, dew point) to a table for spreadsheets in the Data folder where the tool runs, named by the moment you tick this (e.g. Readings20261207130249.csv)</source>
        <translation>把每次读数（温度、湿度、露点）保存为表格文件，可用 Excel、WPS 等打开；文件在运行目录下的 Data 文件夹，以勾选的时刻命名（如 Readings20261207130249.csv）</translation>
    </message>
    <message>
        <source>Chooses the serial port and the baud rate, and links to the unit</source>
        <translation>选择串口和波特率，连接设备</translation>
    </message>
    <message>
        <source>Quits the tool</source>
        <translation>退出程序</translation>
    </message>
    <message>
        <source>Reads register %1 (function 03) every period; press again to stop</source>
        <translation>每个周期读取一次寄存器 %1（功能码 03）；再按一次停止</translation>
    </message>
    <message>
        <source>Reads registers %1 to %2 (function 03) every period; press again to stop</source>
        <translation>每个周期读取一次寄存器 %1 到 %2（功能码 03）；再按一次停止</translation>
    </message>
    <message>
        <source>; </source>
        <comment>between the rates</comment>
        <translation>；</translation>
    </message>
    <message>
        <source>Cannot write in the folder %1: %2</source>
        <translation>无法在文件夹 %1 中写入文件：%2</translation>
    </message>
    <message>
        <source>Saving the frames to %1</source>
        <translation>保存报文到 %1</translation>
    </message>
    <message>
        <source>Saving the readings to %1</source>
        <translation>保存读数到 %1</translation>
    </message>
    <message numerus="yes">
        <source>%n units answer on this line: every one of them would take address %1 (%2). Continue?</source>
        <translation>
            <numerusform>这条线路上有 %n 台设备应答：每一台都会改为地址 %1（%2）。是否继续？</numerusform>
        </translation>
    </message>
    <message>
        <source>Several units answer on this line at once: every one of them would take address %1. Continue?</source>
        <translation>这条线路上有多台设备同时应答：每一台都会改为地址 %1。是否继续？</translation>
    </message>
    <message>
        <source>no unit answers at address %1; polling address %2 as before</source>
        <translation>地址 %1 无设备应答；仍轮询地址 %2</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <comment>link state; its note</comment>
        <translation>%1；%2</translation>
    </message>
    <message>
        <source>%1 at %2, no answer since %3</source>
        <translation>自 %3 起无应答：%1，波特率 %2</translation>
    </message>
    <message>
        <source>a different unit is at address %1 on %2 now: %3</source>
        <translation>%2 上地址 %1 处已换成另一台设备：%3</translation>
    </message>
    <message>
        <source>the unit answers after %1 ms: waiting up to %2 ms</source>
        <translation>设备在 %1 毫秒后才应答：此后最多等待 %2 毫秒</translation>
    </message>
    <message>
        <source>Writing to %1 again</source>
        <translation>已恢复写入 %1</translation>
    </message>
    <message>
        <source>Opens the line: find the units on this port, poll them all, and choose the one this window shows</source>
        <translation>打开线路窗口：查找此串口上的设备，轮询全部设备，并选择本窗口显示的设备</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>线路</translation>
    </message>
    <message>
        <source>Address %1: %2</source>
        <translation>地址 %1：%2</translation>
    </message>
</context>
</TS>
