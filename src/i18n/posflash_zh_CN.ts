<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Download</name>
    <message>
        <source>Downloading...</source>
        <translation>正在下载...</translation>
    </message>
    <message>
        <source>Establishing connection...</source>
        <translation>正在建立连接...</translation>
    </message>
    <message>
        <source>Failed to download, please check!</source>
        <translation>下载失败,请检查是否在下载状态,电源是否正常,通信线是否插好!</translation>
    </message>
    <message>
        <source>Ready for download, please wait...</source>
        <translation>正在准备下载，请等待...</translation>
    </message>
    <message>
        <source>Downloading NO.%1 ,Total: %2, Time consuming %3 Seconds</source>
        <translation>正在下载第%1帧，总共%2帧, 耗时%3秒</translation>
    </message>
    <message>
        <source>The operation is completed, please wait...</source>
        <translation>正在完成操作，请等待...</translation>
    </message>
    <message>
        <source>Time consuming: %1 Seconds, Complete!</source>
        <translation>耗时: %1秒, 下载完成！</translation>
    </message>
    <message>
        <source>The download is complete</source>
        <translation>下载完成</translation>
    </message>
    <message>
        <source>Download failed!</source>
        <translation>程序下载失败!</translation>
    </message>
    <message>
        <source>Error opening the file, please try again!</source>
        <translation>打开文件错误,请重试！</translation>
    </message>
    <message>
        <source>The file is empty: there is nothing to download.</source>
        <translation>文件为空，没有可下载的内容。</translation>
    </message>
    <message>
        <source>The file is too large: the printer accepts at most 32767 frames.</source>
        <translation>文件太大：打印机最多接收 32767 帧。</translation>
    </message>
    <message>
        <source>Cannot read the file %1.</source>
        <translation>无法读取文件 %1。</translation>
    </message>
</context>
<context>
    <name>frmBoot</name>
    <message>
        <source>Port Select</source>
        <translation>端口选择</translation>
    </message>
    <message>
        <source>Comm settings</source>
        <translation>通讯设置</translation>
    </message>
    <message>
        <source>Network settings</source>
        <translation>网络设置</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自动获取</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>手动获取</translation>
    </message>
    <message>
        <source>GetPort</source>
        <translation>获取端口号</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>程序文件</translation>
    </message>
    <message>
        <source>InBoot</source>
        <translation>进入下载</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>The printer program update V1.2</source>
        <translation>打印机程序更新软件 V1.2</translation>
    </message>
    <message>
        <source>Website:</source>
        <translation>官方网站:</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Check the setup: %1</source>
        <translation>请检查设置：%1</translation>
    </message>
    <message>
        <source>no access to serial devices (join the dialout group)</source>
        <translation>无权访问串口设备（请加入 dialout 组）</translation>
    </message>
    <message>
        <source>udev rule %1 not installed</source>
        <translation>未安装 udev 规则 %1</translation>
    </message>
    <message>
        <source>no right to bind UDP ports 67 and 69 for network downloads</source>
        <translation>无权绑定网络下载所需的 UDP 端口 67 和 69</translation>
    </message>
    <message>
        <source>settings not saved: %1</source>
        <translation>设置未能保存：%1</translation>
    </message>
    <message>
        <source>config.ini not written: %1</source>
        <translation>未能写入 config.ini：%1</translation>
    </message>
</context>
</TS>
