<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Download</name>
    <message>
        <location filename="../download/download_texts.cpp" line="17"/>
        <source>Downloading...</source>
        <translation>正在下载...</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="21"/>
        <source>Establishing connection...</source>
        <translation>正在建立连接...</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="25"/>
        <source>Failed to download, please check!</source>
        <translation>下载失败,请检查是否在下载状态,电源是否正常,通信线是否插好!</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="29"/>
        <source>Ready for download, please wait...</source>
        <translation>正在准备下载，请等待...</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="33"/>
        <source>Downloading NO.%1 ,Total: %2, Time consuming %3 Seconds</source>
        <translation>正在下载第%1帧，总共%2帧, 耗时%3秒</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="41"/>
        <source>The operation is completed, please wait...</source>
        <translation>正在完成操作，请等待...</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="45"/>
        <source>Time consuming: %1 Seconds, Complete!</source>
        <translation>耗时: %1秒, 下载完成！</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="50"/>
        <source>The download is complete</source>
        <translation>下载完成</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="54"/>
        <source>Download failed!</source>
        <translation>程序下载失败!</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="58"/>
        <source>Error opening the file, please try again!</source>
        <translation>打开文件错误,请重试！</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="62"/>
        <source>The file is empty: there is nothing to download.</source>
        <translation>文件为空，没有可下载的内容。</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="66"/>
        <source>The file is too large: the printer accepts at most 32767 frames.</source>
        <translation>文件太大：打印机最多接收 32767 帧。</translation>
    </message>
    <message>
        <location filename="../download/download_texts.cpp" line="72"/>
        <source>Cannot read the file %1.</source>
        <translation>无法读取文件 %1。</translation>
    </message>
</context>
<context>
    <name>Netboot</name>
    <message>
        <location filename="../netboot/netboot_texts.cpp" line="15"/>
        <source>The IP address &quot;%1&quot; is not valid: write four numbers from 0 to 255 joined by dots, such as 192.168.123.100.</source>
        <translation>IP 地址“%1”无效：请填写以点分隔的四个 0 到 255 的数字，例如 192.168.123.100。</translation>
    </message>
    <message>
        <location filename="../netboot/netboot_texts.cpp" line="22"/>
        <source>The MAC address &quot;%1&quot; is not valid: write six two-digit hexadecimal numbers joined by &quot;-&quot;, such as 00-11-22-33-44-55.</source>
        <translation>MAC 地址“%1”无效：请填写以“-”分隔的六个两位十六进制数，例如 00-11-22-33-44-55。</translation>
    </message>
    <message>
        <location filename="../netboot/netboot_texts.cpp" line="29"/>
        <source>The file name &quot;%1&quot; is longer than the 128 bytes the printer accepts; rename the file.</source>
        <translation>文件名“%1”超过打印机可接受的 128 字节，请重命名文件。</translation>
    </message>
    <message>
        <location filename="../netboot/netboot_texts.cpp" line="35"/>
        <source>Cannot use UDP port %1 (%2). Close any other program that uses it (a DHCP or TFTP server), and give posflash&apos;s bind helper the right to use ports below 1024: sudo setcap cap_net_bind_service+ep %3</source>
        <translation>无法使用 UDP 端口 %1（%2）。请关闭占用该端口的其他程序（DHCP 或 TFTP 服务器），并授予 posflash 的端口绑定助手使用 1024 以下端口的权限：sudo setcap cap_net_bind_service+ep %3</translation>
    </message>
    <message>
        <location filename="../netboot/netboot_texts.cpp" line="45"/>
        <source>A printer at %1 answered and was ignored: the IP address is set to %2. Check the IP address.</source>
        <translation>地址为 %1 的打印机应答已被忽略：IP 地址设置为 %2。请检查 IP 地址。</translation>
    </message>
    <message>
        <source>The BOOTP request from %1 was answered, but no printer greeted from %2: answering the next request with the printer&apos;s MAC address.</source>
        <translation>已应答来自 %1 的 BOOTP 请求，但 %2 的打印机没有回应：将应答下一个带有该打印机 MAC 地址的请求。</translation>
    </message>
</context>
<context>
    <name>frmBoot</name>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="41"/>
        <source>Port Select</source>
        <translation>端口选择</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="42"/>
        <source>Comm settings</source>
        <translation>通讯设置</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="43"/>
        <source>Network settings</source>
        <translation>网络设置</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="44"/>
        <source>Automatic</source>
        <translation>自动获取</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="45"/>
        <source>Manual</source>
        <translation>手动获取</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="46"/>
        <source>GetPort</source>
        <translation>获取端口号</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="47"/>
        <source>Files</source>
        <translation>程序文件</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="48"/>
        <source>InBoot</source>
        <translation>进入下载</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="49"/>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="60"/>
        <source>The printer program update V1.2</source>
        <translation>打印机程序更新软件 V1.2</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="61"/>
        <source>Website:</source>
        <translation>官方网站:</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="63"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="114"/>
        <source>COM port</source>
        <translation>串口号</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="115"/>
        <source>Baud rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="116"/>
        <source>Printer port not found</source>
        <translation>未找到打印机端口</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="117"/>
        <source>Printer port found</source>
        <translation>已找到打印机端口</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="118"/>
        <source>Program file path</source>
        <translation>程序文件路径</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="119"/>
        <source>Font file path</source>
        <translation>字库文件路径</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="120"/>
        <source>Download progress</source>
        <translation>下载进度</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="121"/>
        <source>Program icon</source>
        <translation>程序图标</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_load.cpp" line="137"/>
        <source>Check the setup: %1</source>
        <translation>请检查设置：%1</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="121"/>
        <source>no access to serial devices (join the dialout group)</source>
        <translation>无权访问串口设备（请加入 dialout 组）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="124"/>
        <source>udev rule %1 not installed</source>
        <translation>未安装 udev 规则 %1</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="128"/>
        <source>no right to bind UDP ports 67 and 69 for network downloads</source>
        <translation>无权绑定网络下载所需的 UDP 端口 67 和 69</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="132"/>
        <source>this session has no seat (a remote login), so udev gives it no access to printers (join the dialout and lp groups)</source>
        <translation>此会话没有座席（远程登录），udev 不会授予它访问打印机的权限（请加入 dialout 和 lp 组）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="139"/>
        <source>ModemManager is running and may probe the printer&apos;s port (udev rule %1 keeps it off the printers; for other serial adapters stop or mask ModemManager)</source>
        <translation>ModemManager 正在运行，可能探测打印机的端口（udev 规则 %1 使其不碰打印机；其他串口适配器请停止或屏蔽 ModemManager）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="146"/>
        <source>brltty claims USB-serial adapters (remove the brltty package, or mask its udev rule and service)</source>
        <translation>brltty 会占用 USB 串口适配器（请卸载 brltty 软件包，或屏蔽它的 udev 规则和服务）</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_load.cpp" line="133"/>
        <source>settings not saved: %1</source>
        <translation>设置未能保存：%1</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_load.cpp" line="135"/>
        <source>config.ini not written: %1</source>
        <translation>未能写入 config.ini：%1</translation>
    </message>
</context>
<context>
    <name>MultiDownload</name>
    <message>
        <source>completed</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>the start frame</source>
        <translation>起始帧</translation>
    </message>
    <message>
        <source>frame %1</source>
        <translation>第 %1 帧</translation>
    </message>
    <message>
        <source>the end frame</source>
        <translation>结束帧</translation>
    </message>
    <message>
        <source>the final frame</source>
        <translation>最终帧</translation>
    </message>
    <message>
        <source>the link</source>
        <translation>连接</translation>
    </message>
    <message>
        <source>connecting</source>
        <translation>正在连接</translation>
    </message>
    <message>
        <source>linked</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>no answer to %1, attempt %2</source>
        <translation>%1 无应答，第 %2 次尝试</translation>
    </message>
    <message>
        <source>%1 refused (status %2), attempt %3</source>
        <translation>%1 被拒绝（状态 %2），第 %3 次尝试</translation>
    </message>
    <message>
        <source>%1 refused (status %2)</source>
        <translation>%1 被拒绝（状态 %2）</translation>
    </message>
    <message>
        <source>frame %1/%2</source>
        <translation>帧 %1/%2</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>剩余 %1</translation>
    </message>
    <message>
        <source>target</source>
        <translation>目标</translation>
    </message>
    <message>
        <source>result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>retries</source>
        <translation>重试</translation>
    </message>
    <message>
        <source>reason</source>
        <translation>原因</translation>
    </message>
    <message>
        <source>%1 of %2 completed, exit code %3</source>
        <translation>%2 台中完成 %1 台，退出码 %3</translation>
    </message>
    <message>
        <source>waiting for the link</source>
        <translation>等待连接</translation>
    </message>
    <message>
        <source>watching for printers to be plugged in (Ctrl-C ends): %1 completed, %2 failed so far</source>
        <translation>正在等待接入打印机（按 Ctrl-C 结束）：目前完成 %1 台，失败 %2 台</translation>
    </message>
</context>
<context>
    <name>CliTexts</name>
    <message>
        <source>retrying the update, attempt %1, after %2</source>
        <translation>重新更新，第 %1 次尝试，原因：%2</translation>
    </message>
    <message>
        <source>%1 attempts</source>
        <translation>共尝试 %1 次</translation>
    </message>
    <message>
        <source>cancelled by the user before the download was complete</source>
        <translation>下载完成前已被用户取消</translation>
    </message>
    <message>
        <source>stopped at once: the printer may hold a partial image; download it again</source>
        <translation>已立即停止：打印机可能只保存了部分映像，请重新下载</translation>
    </message>
    <message>
        <source>the printer did not answer %1 (%2 attempts)</source>
        <translation>打印机未应答%1（已尝试 %2 次）</translation>
    </message>
    <message>
        <source>the printer refused %1 (%2 attempts)</source>
        <translation>打印机拒绝了%1（已尝试 %2 次）</translation>
    </message>
    <message>
        <source>the printer acknowledged another frame than %1</source>
        <translation>打印机确认的不是%1</translation>
    </message>
    <message>
        <source>the port or the connection to the printer went away</source>
        <translation>端口或与打印机的连接已断开</translation>
    </message>
    <message>
        <source>there is no such port</source>
        <translation>没有这个端口</translation>
    </message>
    <message>
        <source>the port is open in another program</source>
        <translation>端口已被其他程序打开</translation>
    </message>
    <message>
        <source>permission denied: the system refused access to the port</source>
        <translation>权限被拒绝：系统拒绝访问该端口</translation>
    </message>
    <message>
        <source>UDP port 67 or 69 could not be bound (another program holds it, or the tool lacks the right to bind it)</source>
        <translation>无法绑定 UDP 端口 67 或 69（已被其他程序占用，或本工具没有绑定权限）</translation>
    </message>
    <message>
        <source>the boot loader did not answer within %1 s</source>
        <translation>引导程序在 %1 秒内没有应答</translation>
    </message>
    <message>
        <source>no printer&apos;s USB device is present</source>
        <translation>没有找到打印机的 USB 设备</translation>
    </message>
    <message>
        <source>the IP or the MAC address is empty</source>
        <translation>IP 地址或 MAC 地址为空</translation>
    </message>
    <message>
        <source>the IP or the MAC address is not valid</source>
        <translation>IP 地址或 MAC 地址无效</translation>
    </message>
    <message>
        <source>the file&apos;s path is too long for the boot loader (at most 128 bytes)</source>
        <translation>文件路径对引导程序来说太长（最多 128 字节）</translation>
    </message>
    <message>
        <source>the printer&apos;s running firmware did not answer on TCP port 4000, or closed the connection</source>
        <translation>打印机运行中的固件没有在 TCP 端口 4000 上应答，或关闭了连接</translation>
    </message>
    <message>
        <source>the file cannot be read</source>
        <translation>无法读取文件</translation>
    </message>
    <message>
        <source>the program&apos;s trailing checksum is wrong: this is not a firmware image</source>
        <translation>程序末尾的校验和错误：这不是固件映像</translation>
    </message>
    <message>
        <source>the image is too large for the boot loader&apos;s frames</source>
        <translation>映像太大，引导程序的帧无法容纳</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>文件为空</translation>
    </message>
    <message>
        <source>a download or boot-loader command already runs for this printer</source>
        <translation>此打印机已有下载或引导命令在进行</translation>
    </message>
    <message>
        <source>the BOOTP request from %1 was answered, but no printer greeted from %2: answering the next request with the printer&apos;s MAC address</source>
        <translation>已应答来自 %1 的 BOOTP 请求，但 %2 的打印机没有回应：将应答下一个带有该打印机 MAC 地址的请求</translation>
    </message>
    <message>
        <source>asking the running firmware of %1 to take a font</source>
        <translation>正在请求 %1 运行中的固件接收字库</translation>
    </message>
    <message>
        <source>sending the closing frames</source>
        <translation>正在发送结束帧</translation>
    </message>
    <message>
        <source>finishing the closing frames; a second Ctrl-C stops at once, which may leave a partial image in the printer</source>
        <translation>正在完成结束帧；再按一次 Ctrl-C 将立即停止，打印机中可能留下不完整的映像</translation>
    </message>
    <message>
        <source>cancelling: a frame in flight finishes its attempts; a second Ctrl-C stops at once</source>
        <translation>正在取消：正在发送的帧将完成其尝试；再按一次 Ctrl-C 将立即停止</translation>
    </message>
    <message>
        <source>warning: stopping at once; the printer may hold a partial image</source>
        <translation>警告：立即停止；打印机可能只保存了部分映像</translation>
    </message>
    <message>
        <source>completed: %1 bytes in %2 s (%3 KiB/s), CRC-16 0x%4, printer accepted</source>
        <translation>完成：%1 字节，用时 %2 秒（%3 KiB/s），CRC-16 0x%4，打印机已接受</translation>
    </message>
    <message>
        <source>the boot-loader command was sent</source>
        <translation>引导命令已发送</translation>
    </message>
    <message>
        <source>the boot-loader command could not be sent</source>
        <translation>引导命令未能发送</translation>
    </message>
    <message>
        <source>start the download again when ready</source>
        <translation>准备好后重新开始下载</translation>
    </message>
    <message>
        <source>download the image again before using the printer</source>
        <translation>使用打印机之前请重新下载映像</translation>
    </message>
    <message>
        <source>check the cable or the network, the printer&apos;s power, and that the printer is in its boot loader</source>
        <translation>请检查电缆或网络、打印机电源，以及打印机是否处于引导程序中</translation>
    </message>
    <message>
        <source>check that the image is meant for this printer</source>
        <translation>请确认映像适用于这台打印机</translation>
    </message>
    <message>
        <source>switch the printer off and on, then download again</source>
        <translation>请关闭打印机再打开，然后重新下载</translation>
    </message>
    <message>
        <source>reconnect the printer, then download again</source>
        <translation>请重新连接打印机，然后重新下载</translation>
    </message>
    <message>
        <source>see &apos;posflash-cli list&apos; for the printers and COM numbers present, and check --port</source>
        <translation>请用 'posflash-cli list' 查看现有的打印机和 COM 号，并检查 --port</translation>
    </message>
    <message>
        <source>close the other program that has the port open</source>
        <translation>请关闭打开了该端口的其他程序</translation>
    </message>
    <message>
        <source>install posflash&apos;s udev rule (60-posflash.rules, as the package does), or join the dialout group (sudo usermod -aG dialout $USER) and log in again</source>
        <translation>请安装 posflash 的 udev 规则（60-posflash.rules，软件包会安装它），或加入 dialout 组（sudo usermod -aG dialout $USER）后重新登录</translation>
    </message>
    <message>
        <source>give posflash-bind-helper the right to bind them (sudo setcap cap_net_bind_service+ep on it, as the package does), or stop the DHCP or TFTP server that holds them</source>
        <translation>请授予 posflash-bind-helper 绑定权限（对它执行 sudo setcap cap_net_bind_service+ep，软件包会这样做），或停止占用端口的 DHCP 或 TFTP 服务</translation>
    </message>
    <message>
        <source>switch the printer into its boot loader (posflash-cli inboot) and try again</source>
        <translation>请将打印机切换到引导程序（posflash-cli inboot）后重试</translation>
    </message>
    <message>
        <source>plug the printer in, or name its device node with --port</source>
        <translation>请接上打印机，或用 --port 指定其设备节点</translation>
    </message>
    <message>
        <source>give both --ip and --mac</source>
        <translation>请同时给出 --ip 和 --mac</translation>
    </message>
    <message>
        <source>write them as 192.168.1.100 and 00-11-22-33-44-55</source>
        <translation>请写成 192.168.1.100 和 00-11-22-33-44-55 的形式</translation>
    </message>
    <message>
        <source>move or rename the file so that its path is at most 128 bytes</source>
        <translation>请移动文件或改名，使其路径不超过 128 字节</translation>
    </message>
    <message>
        <source>check the address: the printer must be running its firmware</source>
        <translation>请检查地址：打印机必须正在运行其固件</translation>
    </message>
    <message>
        <source>check the file&apos;s name and that it may be read</source>
        <translation>请检查文件名以及文件是否可读</translation>
    </message>
    <message>
        <source>the file is damaged or not a program image: get the firmware file again</source>
        <translation>文件已损坏或不是程序映像：请重新获取固件文件</translation>
    </message>
    <message>
        <source>check that this is the right file: no boot loader takes an image this large</source>
        <translation>请确认文件是否正确：没有引导程序能接收这么大的映像</translation>
    </message>
    <message>
        <source>choose the firmware file again</source>
        <translation>请重新选择固件文件</translation>
    </message>
    <message>
        <source>wait for the other download or command to end</source>
        <translation>请等待其他下载或命令结束</translation>
    </message>
    <message>
        <source>what to do: %1</source>
        <translation>处理办法：%1</translation>
    </message>
    <message>
        <source>waiting for the link to %1 (the printer must be in its boot loader)</source>
        <translation>正在等待与 %1 的连接（打印机须处于引导程序中）</translation>
    </message>
    <message>
        <source>still waiting for the link to %1 (%2 s)</source>
        <translation>仍在等待与 %1 的连接（已 %2 秒）</translation>
    </message>
    <message>
        <source>linked to %1</source>
        <translation>已连接 %1</translation>
    </message>
    <message>
        <source>no printer with a USB virtual COM port is present</source>
        <translation>没有找到带 USB 虚拟串口的打印机</translation>
    </message>
    <message>
        <source>the port could not be opened (%1), attempt %2</source>
        <translation>无法打开端口（%1），第 %2 次尝试</translation>
    </message>
    <message>
        <source>no reason given</source>
        <translation>原因未知</translation>
    </message>
    <message>
        <source>the printer reset the connection before it took the command</source>
        <translation>打印机在接收命令之前重置了连接</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>No serial device is at USB path %1.</source>
        <translation>USB 路径 %1 上没有串口设备。</translation>
    </message>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 不存在。</translation>
    </message>
</context>
</TS>
