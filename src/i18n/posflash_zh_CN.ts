<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>BackgroundSync</name>
    <message>
        <location filename="../records/background_sync.cpp" line="158"/>
        <source>records: %1 set aside</source>
        <translation>记录：%1 条被服务器拒收，已另存</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="162"/>
        <source>records: sent %1</source>
        <translation>记录：已发送 %1 条</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="163"/>
        <source>records: ok</source>
        <translation>记录：正常</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="140"/>
        <source>records: offline</source>
        <translation>记录：离线</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="142"/>
        <source>records: login refused</source>
        <translation>记录：登录被拒绝</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="144"/>
        <source>records: no such database</source>
        <translation>记录：数据库不存在</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="146"/>
        <source>records: server not set up</source>
        <translation>记录：服务器未设置</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="147"/>
        <source>records: not allowed</source>
        <translation>记录：无权限</translation>
    </message>
    <message>
        <location filename="../records/background_sync.cpp" line="149"/>
        <source>records: local history unreadable</source>
        <translation>记录：本地历史无法读取</translation>
    </message>
</context>
<context>
    <name>CliTexts</name>
    <message>
        <location filename="../cli/fleet_download.cpp" line="274"/>
        <source>already runs this image: nothing sent</source>
        <translation>已是此映像：未发送</translation>
    </message>
    <message>
        <location filename="../cli/fleet_download.cpp" line="276"/>
        <source>updated</source>
        <translation>已更新</translation>
    </message>
    <message>
        <location filename="../cli/fleet_download.cpp" line="278"/>
        <source>answers, and would be updated</source>
        <translation>有应答，将会更新</translation>
    </message>
    <message>
        <location filename="../cli/fleet_download.cpp" line="317"/>
        <source>%1 updated, %2 current, %3 failed, %4 pending, %5 would be updated</source>
        <translation>%1 台已更新，%2 台已是此映像，%3 台失败，%4 台待处理，%5 台将会更新</translation>
    </message>
    <message>
        <location filename="../cli/printers_command.cpp" line="128"/>
        <source>answers</source>
        <translation>有应答</translation>
    </message>
    <message>
        <location filename="../cli/printers_command.cpp" line="129"/>
        <source>does not answer</source>
        <translation>无应答</translation>
    </message>
    <message>
        <location filename="../cli/printers_command.cpp" line="133"/>
        <source>last received %1 (%2) at %3</source>
        <translation>最近完整收到 %1（%2），时间 %3</translation>
    </message>
    <message>
        <location filename="../cli/printers_command.cpp" line="136"/>
        <source>no recipe</source>
        <translation>无配方</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="135"/>
        <source>retrying the update, attempt %1, after %2</source>
        <translation>重新更新，第 %1 次尝试，原因：%2</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="219"/>
        <location filename="../cli/download_view.cpp" line="259"/>
        <source>%1 attempts</source>
        <translation>共尝试 %1 次</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="27"/>
        <source>cancelled by the user before the download was complete</source>
        <translation>下载完成前已被用户取消</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="30"/>
        <source>stopped at once: the printer may hold a partial image; download it again</source>
        <translation>已立即停止：打印机可能只保存了部分映像，请重新下载</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="40"/>
        <source>the printer acknowledged another frame than %1</source>
        <translation>打印机确认的不是%1</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="43"/>
        <source>the port or the connection to the printer went away</source>
        <translation>端口或与打印机的连接已断开</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="45"/>
        <source>there is no such port</source>
        <translation>没有这个端口</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="52"/>
        <source>the port is open in another program</source>
        <translation>端口已被其他程序打开</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="55"/>
        <source>permission denied: the system refused access to the port</source>
        <translation>权限被拒绝：系统拒绝访问该端口</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="60"/>
        <source>UDP port 67 or 69 could not be bound (another program holds it, or the tool lacks the right to bind it)</source>
        <translation>无法绑定 UDP 端口 67 或 69（已被其他程序占用，或本工具没有绑定权限）</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="67"/>
        <source>the boot loader did not answer within %1 s</source>
        <translation>引导程序在 %1 秒内没有应答</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="71"/>
        <source>no printer&apos;s USB device is present</source>
        <translation>没有找到打印机的 USB 设备</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="73"/>
        <source>the IP or the MAC address is empty</source>
        <translation>IP 地址或 MAC 地址为空</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="75"/>
        <source>the IP or the MAC address is not valid</source>
        <translation>IP 地址或 MAC 地址无效</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="78"/>
        <source>the file&apos;s path is too long for the boot loader (at most 128 bytes)</source>
        <translation>文件路径对引导程序来说太长（最多 128 字节）</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="83"/>
        <source>the printer&apos;s running firmware did not answer on TCP port 4000, or closed the connection</source>
        <translation>打印机运行中的固件没有在 TCP 端口 4000 上应答，或关闭了连接</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="86"/>
        <source>the file cannot be read</source>
        <translation>无法读取文件</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="89"/>
        <source>the program&apos;s trailing checksum is wrong: this is not a firmware image</source>
        <translation>程序末尾的校验和错误：这不是固件映像</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="94"/>
        <source>the image is too large for the boot loader&apos;s frames</source>
        <translation>映像太大，引导程序的帧无法容纳</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="98"/>
        <source>the file is empty</source>
        <translation>文件为空</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="105"/>
        <source>a download or boot-loader command already runs for this printer</source>
        <translation>此打印机已有下载或引导命令在进行</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="146"/>
        <source>the BOOTP request from %1 was answered, but no printer greeted from %2: answering the next request with the printer&apos;s MAC address</source>
        <translation>已应答来自 %1 的 BOOTP 请求，但 %2 的打印机没有回应：将应答下一个带有该打印机 MAC 地址的请求</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="141"/>
        <source>asking the running firmware of %1 to take a font</source>
        <translation>正在请求 %1 运行中的固件接收字库</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="195"/>
        <source>sending the closing frames</source>
        <translation>正在发送结束帧</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="363"/>
        <source>finishing the closing frames; a second Ctrl-C stops at once, which may leave a partial image in the printer</source>
        <translation>正在完成结束帧；再按一次 Ctrl-C 将立即停止，打印机中可能留下不完整的映像</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="369"/>
        <source>cancelling: a frame in flight finishes its resends; a second Ctrl-C stops at once</source>
        <translation>正在取消：正在发送的帧将完成其重发；再按一次 Ctrl-C 将立即停止</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="383"/>
        <source>warning: stopping at once; the printer may hold a partial image</source>
        <translation>警告：立即停止；打印机可能只保存了部分映像</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="396"/>
        <source>completed: %1 bytes in %2 s (%3 KiB/s), CRC-16 0x%4, printer accepted</source>
        <translation>完成：%1 字节，用时 %2 秒（%3 KiB/s），CRC-16 0x%4，打印机已接受</translation>
    </message>
    <message>
        <location filename="../cli/inboot_command.cpp" line="44"/>
        <source>the boot-loader command was sent</source>
        <translation>引导命令已发送</translation>
    </message>
    <message>
        <location filename="../cli/inboot_command.cpp" line="45"/>
        <source>the boot-loader command could not be sent</source>
        <translation>引导命令未能发送</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="28"/>
        <source>start the download again when ready</source>
        <translation>准备好后重新开始下载</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="32"/>
        <source>download the image again before using the printer</source>
        <translation>使用打印机之前请重新下载映像</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="35"/>
        <source>check the cable or the network, the printer&apos;s power, and that the printer is in its boot loader</source>
        <translation>请检查电缆或网络、打印机电源，以及打印机是否处于引导程序中</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="38"/>
        <source>check that the image is meant for this printer</source>
        <translation>请确认映像适用于这台打印机</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="41"/>
        <source>switch the printer off and on, then download again</source>
        <translation>请关闭打印机再打开，然后重新下载</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="44"/>
        <source>reconnect the printer, then download again</source>
        <translation>请重新连接打印机，然后重新下载</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="46"/>
        <source>see &apos;posflash-cli list&apos; for the printers and COM numbers present, and check --port</source>
        <translation>请用 &apos;posflash-cli list&apos; 查看现有的打印机和 COM 号，并检查 --port</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="53"/>
        <source>close the other program that has the port open</source>
        <translation>请关闭打开了该端口的其他程序</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="56"/>
        <source>install posflash&apos;s udev rule (60-posflash.rules, as the package does), or join the dialout group (sudo usermod -aG dialout $USER) and log in again</source>
        <translation>请安装 posflash 的 udev 规则（60-posflash.rules，软件包会安装它），或加入 dialout 组（sudo usermod -aG dialout $USER）后重新登录</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="62"/>
        <source>give posflash-bind-helper the right to bind them (sudo setcap cap_net_bind_service+ep on it, as the package does), or stop the DHCP or TFTP server that holds them</source>
        <translation>请授予 posflash-bind-helper 绑定权限（对它执行 sudo setcap cap_net_bind_service+ep，软件包会这样做），或停止占用端口的 DHCP 或 TFTP 服务</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="68"/>
        <source>switch the printer into its boot loader (posflash-cli inboot) and try again</source>
        <translation>请将打印机切换到引导程序（posflash-cli inboot）后重试</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="72"/>
        <source>plug the printer in, or name its device node with --port</source>
        <translation>请接上打印机，或用 --port 指定其设备节点</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="74"/>
        <source>give both --ip and --mac</source>
        <translation>请同时给出 --ip 和 --mac</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="76"/>
        <source>write them as 192.168.1.100 and 00-11-22-33-44-55</source>
        <translation>请写成 192.168.1.100 和 00-11-22-33-44-55 的形式</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="80"/>
        <source>move or rename the file so that its path is at most 128 bytes</source>
        <translation>请移动文件或改名，使其路径不超过 128 字节</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="85"/>
        <source>check the address: the printer must be running its firmware</source>
        <translation>请检查地址：打印机必须正在运行其固件</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="87"/>
        <source>check the file&apos;s name and that it may be read</source>
        <translation>请检查文件名以及文件是否可读</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="91"/>
        <source>the file is damaged or not a program image: get the firmware file again</source>
        <translation>文件已损坏或不是程序映像：请重新获取固件文件</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="95"/>
        <source>check that this is the right file: no boot loader takes an image this large</source>
        <translation>请确认文件是否正确：没有引导程序能接收这么大的映像</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="99"/>
        <source>choose the firmware file again</source>
        <translation>请重新选择固件文件</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="107"/>
        <source>wait for the other download or command to end</source>
        <translation>请等待其他下载或命令结束</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="206"/>
        <source>what to do: %1</source>
        <translation>处理办法：%1</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="349"/>
        <source>waiting for the link to %1 (the printer must be in its boot loader)</source>
        <translation>正在等待与 %1 的连接（打印机须处于引导程序中）</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="37"/>
        <source>still waiting for the link to %1 (%2 s)</source>
        <translation>仍在等待与 %1 的连接（已 %2 秒）</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="358"/>
        <source>linked to %1</source>
        <translation>已连接 %1</translation>
    </message>
    <message>
        <location filename="../cli/download_command.cpp" line="303"/>
        <source>no printer with a USB virtual COM port is present</source>
        <translation>没有找到带 USB 虚拟串口的打印机</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="164"/>
        <source>no reason given</source>
        <translation>原因未知</translation>
    </message>
    <message>
        <location filename="../cli/inboot_command.cpp" line="48"/>
        <source>the printer reset the connection before it took the command</source>
        <translation>打印机在接收命令之前重置了连接</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="101"/>
        <source>the image file changed after it was checked</source>
        <translation>映像文件在检查之后被更改</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="102"/>
        <source>put the checked file back, or start again (a new shift) so that the new file is checked</source>
        <translation>请放回已检查的文件，或重新开始（新班次）以检查新文件</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="34"/>
        <source>the printer did not answer %1 (sent %2 times)</source>
        <translation>打印机未应答%1（已发送 %2 次）</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="37"/>
        <source>the printer refused %1 (sent %2 times)</source>
        <translation>打印机拒绝了%1（已发送 %2 次）</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="171"/>
        <source>the port could not be opened (%1), resend %2</source>
        <translation>无法打开端口（%1），第 %2 次重发</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="49"/>
        <source>the port is not a serial line</source>
        <translation>该端口不是串口</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="50"/>
        <source>name the printer&apos;s serial port (see &apos;posflash-cli list&apos;), not a file or another kind of device</source>
        <translation>请指定打印机的串口（见“posflash-cli list”），而不是文件或其他类型的设备</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="109"/>
        <source>now is outside the store&apos;s maintenance window: nothing was sent</source>
        <translation>现在不在门店的维护时段内：未发送任何内容</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="111"/>
        <source>nothing to do: the next run inside the window updates it</source>
        <translation>无需处理：下次在维护时段内运行时会更新它</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="113"/>
        <source>the printer did not answer, neither its firmware nor its boot loader: nothing was sent</source>
        <translation>打印机没有应答，固件和引导程序都没有应答：未发送任何内容</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="115"/>
        <source>check that the printer is switched on and connected; the next run tries it again</source>
        <translation>请检查打印机是否已开机并已连接；下次运行会再试</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="118"/>
        <source>the printer did not answer again after its update</source>
        <translation>打印机更新后没有再次应答</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="119"/>
        <source>check the printer at the store: switch it off and on; if it stays silent, load an earlier approved image into it through its boot loader</source>
        <translation>请到门店检查打印机：关机再开机；如果仍无应答，请通过引导程序装入先前批准的映像</translation>
    </message>
</context>
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
    <name>Engine</name>
    <message>
        <location filename="../ports/serial_aim.cpp" line="29"/>
        <source>No serial device is at USB path %1.</source>
        <translation>USB 路径 %1 上没有串口设备。</translation>
    </message>
    <message>
        <location filename="../ports/serial_aim.cpp" line="41"/>
        <source>%1 does not exist.</source>
        <translation>%1 不存在。</translation>
    </message>
</context>
<context>
    <name>LineHost</name>
    <message>
        <location filename="../line/line_host.cpp" line="21"/>
        <source>New shift</source>
        <translation>新班次</translation>
    </message>
    <message>
        <location filename="../line/line_host.cpp" line="23"/>
        <source>Operator of the next shift:</source>
        <translation>下一班次的操作员：</translation>
    </message>
    <message>
        <location filename="../line/shift_report_action.cpp" line="56"/>
        <source>The shift report is in %1:
%2</source>
        <translation>班次报告在 %1：
%2</translation>
    </message>
    <message>
        <location filename="../line/shift_report_action.cpp" line="62"/>
        <source>Open folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <location filename="../line/shift_report_action.cpp" line="64"/>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>LineRecipe</name>
    <message>
        <location filename="../line/line_recipe.cpp" line="36"/>
        <source>The recipe %1 refuses this shift: %2. What to do: %3</source>
        <translation>配方 %1 拒绝本班次：%2。处理方法：%3</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="69"/>
        <source>%1 (from the line&apos;s records)</source>
        <translation>%1（来自产线记录）</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="74"/>
        <source>The recipe %1 comes from the line&apos;s records, but no records address is set.</source>
        <translation>配方 %1 来自产线记录，但未设置记录数据库地址。</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="82"/>
        <source>No recipe %1 is published in the line&apos;s records.</source>
        <translation>产线记录中没有发布配方 %1。</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="86"/>
        <source>The line&apos;s records cannot be reached (%1) and this station has no recipe %2 verified before.</source>
        <translation>无法连接产线记录（%1），且本工位没有以前验证过的配方 %2。</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="101"/>
        <source>The line&apos;s records cannot be reached: the recipe %1 verified here before is used.</source>
        <translation>无法连接产线记录：使用本工位以前验证过的配方 %1。</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="124"/>
        <source>Fetching the recipe %1 from the line&apos;s records…</source>
        <translation>正在从产线记录获取配方 %1…</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="131"/>
        <source>engineering</source>
        <translation>工程</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="132"/>
        <source>production</source>
        <translation>生产</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="133"/>
        <source>Recipe %1 · %2 · signed by key %3</source>
        <translation>配方 %1 · %2 · 由密钥 %3 签名</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="136"/>
        <source> · until %1</source>
        <translation> · 有效期至 %1</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="138"/>
        <source> · no expiry</source>
        <translation> · 无有效期限</translation>
    </message>
    <message>
        <location filename="../line/line_recipe.cpp" line="40"/>
        <source>Keys not trusted: %1.</source>
        <translation>未受信任的密钥：%1。</translation>
    </message>
</context>
<context>
    <name>LineSettings</name>
    <message>
        <location filename="../line/image_summary.cpp" line="21"/>
        <source>%1 · %2 bytes · SHA-256 %3</source>
        <translation>%1 · %2 字节 · SHA-256 %3</translation>
    </message>
    <message>
        <location filename="../line/line_main.cpp" line="74"/>
        <source>The choices could not be kept: %1</source>
        <translation>无法保存所选设置：%1</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="119"/>
        <source>Choose the image to load.</source>
        <translation>请选择要加载的映像。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="121"/>
        <source>The image %1 cannot be found.</source>
        <translation>找不到映像 %1。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="124"/>
        <source>Name at least one slot: a port, a USB path or a network printer.</source>
        <translation>请至少指定一个工位：端口、USB 路径或网络打印机。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="129"/>
        <source>Every network printer needs its IP address.</source>
        <translation>每台网络打印机都需要 IP 地址。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="131"/>
        <source>Retries must be 0 to %1.</source>
        <translation>重试次数须为 0 到 %1。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="134"/>
        <source>Enter the operator&apos;s name.</source>
        <translation>请输入操作员姓名。</translation>
    </message>
    <message>
        <location filename="../line/line_settings.cpp" line="136"/>
        <source>Choose one recipe: a file or one from the line&apos;s records.</source>
        <translation>请只选择一个配方：文件，或产线记录中的配方。</translation>
    </message>
    <message>
        <location filename="../line/image_summary.cpp" line="13"/>
        <source>The image cannot be used: %1.</source>
        <translation>无法使用该映像：%1。</translation>
    </message>
</context>
<context>
    <name>MultiDownload</name>
    <message>
        <location filename="../unit/cause_texts.cpp" line="18"/>
        <source>completed</source>
        <translation>完成</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="19"/>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="20"/>
        <source>refused</source>
        <translation>被拒绝</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="21"/>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="147"/>
        <source>the start frame</source>
        <translation>起始帧</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="149"/>
        <source>frame %1</source>
        <translation>第 %1 帧</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="151"/>
        <source>the end frame</source>
        <translation>结束帧</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="153"/>
        <source>the final frame</source>
        <translation>最终帧</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="155"/>
        <source>the link</source>
        <translation>连接</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="205"/>
        <location filename="../cli/download_view.cpp" line="265"/>
        <source>linked</source>
        <translation>已连接</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="167"/>
        <source>%1 refused (status %2)</source>
        <translation>%1 被拒绝（状态 %2）</translation>
    </message>
    <message>
        <location filename="../cli/progress_text.cpp" line="51"/>
        <source>%1 left</source>
        <translation>剩余 %1</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="434"/>
        <source>target</source>
        <translation>目标</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="435"/>
        <source>result</source>
        <translation>结果</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="436"/>
        <source>seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="438"/>
        <source>reason</source>
        <translation>原因</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="502"/>
        <source>%1 of %2 completed, exit code %3</source>
        <translation>%2 台中完成 %1 台，退出码 %3</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="266"/>
        <source>waiting for the link</source>
        <translation>等待连接</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="295"/>
        <source>watching for printers to be plugged in (Ctrl-C ends): %1 completed, %2 failed so far</source>
        <translation>正在等待接入打印机（按 Ctrl-C 结束）：目前完成 %1 台，失败 %2 台</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="163"/>
        <source>no answer to %1, resend %2</source>
        <translation>%1 无应答，第 %2 次重发</translation>
    </message>
    <message>
        <location filename="../unit/cause_texts.cpp" line="170"/>
        <source>%1 refused (status %2), resend %3</source>
        <translation>%1 被拒绝（状态 %2），第 %3 次重发</translation>
    </message>
    <message>
        <location filename="../cli/download_view.cpp" line="437"/>
        <source>resends</source>
        <translation>重发</translation>
    </message>
</context>
<context>
    <name>Netboot</name>
    <message>
        <location filename="../link/link_texts.cpp" line="13"/>
        <source>The IP address &quot;%1&quot; is not valid: write four numbers from 0 to 255 joined by dots, such as 192.168.123.100.</source>
        <translation>IP 地址“%1”无效：请填写以点分隔的四个 0 到 255 的数字，例如 192.168.123.100。</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="20"/>
        <source>The MAC address &quot;%1&quot; is not valid: write six two-digit hexadecimal numbers joined by &quot;-&quot;, such as 00-11-22-33-44-55.</source>
        <translation>MAC 地址“%1”无效：请填写以“-”分隔的六个两位十六进制数，例如 00-11-22-33-44-55。</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="27"/>
        <source>The file name &quot;%1&quot; is longer than the 128 bytes the printer accepts; rename the file.</source>
        <translation>文件名“%1”超过打印机可接受的 128 字节，请重命名文件。</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="33"/>
        <source>Cannot use UDP port %1 (%2). Close any other program that uses it (a DHCP or TFTP server), and give posflash&apos;s bind helper the right to use ports below 1024: sudo setcap cap_net_bind_service+ep %3</source>
        <translation>无法使用 UDP 端口 %1（%2）。请关闭占用该端口的其他程序（DHCP 或 TFTP 服务器），并授予 posflash 的端口绑定助手使用 1024 以下端口的权限：sudo setcap cap_net_bind_service+ep %3</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="43"/>
        <source>UDP port %1 is in use: another program holds it (a DHCP or TFTP server?). Close that program and try again.</source>
        <translation>UDP 端口 %1 已被占用：另一个程序正在使用它（DHCP 或 TFTP 服务器？）。请关闭该程序后重试。</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="57"/>
        <source>A printer at %1 answered and was ignored: the IP address is set to %2. Check the IP address.</source>
        <translation>地址为 %1 的打印机应答已被忽略：IP 地址设置为 %2。请检查 IP 地址。</translation>
    </message>
    <message>
        <location filename="../link/link_texts.cpp" line="50"/>
        <source>The BOOTP request from %1 was answered, but no printer greeted from %2: answering the next request with the printer&apos;s MAC address.</source>
        <translation>已应答来自 %1 的 BOOTP 请求，但 %2 的打印机没有回应：将应答下一个带有该打印机 MAC 地址的请求。</translation>
    </message>
</context>
<context>
    <name>RecipeCommand</name>
    <message>
        <location filename="../cli/recipe_command.cpp" line="170"/>
        <source>written to %1; sign it with: minisign -S -s KEY -m %1 (or posflash-cli recipe sign --key KEY %1)</source>
        <translation>已写入 %1；请用以下命令签名：minisign -S -s KEY -m %1（或 posflash-cli recipe sign --key KEY %1）</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="176"/>
        <source>note: %1.minisig signs the former recipe; sign it again</source>
        <translation>注意：%1.minisig 是旧配方的签名，请重新签名</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="291"/>
        <location filename="../cli/recipe_command.cpp" line="320"/>
        <source>ignored: %1</source>
        <translation>已忽略：%1</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="296"/>
        <location filename="../cli/recipe_command.cpp" line="358"/>
        <source>verified: signed by key %1 (%2)</source>
        <translation>已验证：由密钥 %1 签名（%2）</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="303"/>
        <location filename="../cli/recipe_command.cpp" line="341"/>
        <source>refused: %1 — %2</source>
        <translation>拒绝：%1 — %2</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="306"/>
        <location filename="../cli/recipe_command.cpp" line="344"/>
        <source>what to do: %1</source>
        <translation>处理方法：%1</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="421"/>
        <source>signed with key %1: %2</source>
        <translation>已用密钥 %1 签名：%2</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="221"/>
        <source>vouched for by: %1 (the administrator&apos;s keys)</source>
        <translation>担保方：%1（管理员的密钥）</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="223"/>
        <source>vouched for by: %1 (the user&apos;s own keys: engineering recipes only)</source>
        <translation>担保方：%1（用户自己的密钥：仅限工程配方）</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="230"/>
        <location filename="../cli/recipe_command.cpp" line="347"/>
        <source>station&apos;s mark: %1 (kept in %2)</source>
        <translation>工位标记：%1（保存在 %2）</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="326"/>
        <source>no recipe %1 is published in the line&apos;s records</source>
        <translation>产线记录中没有发布配方 %1</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="333"/>
        <source>the line&apos;s records cannot be reached (%1) and this station has no recipe %2 verified before</source>
        <translation>无法连接产线记录（%1），且本工位没有之前验证过的配方 %2</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="362"/>
        <source>the line&apos;s records cannot be reached (%1): the copy verified here before is used</source>
        <translation>无法连接产线记录（%1）：使用本工位之前验证过的副本</translation>
    </message>
    <message>
        <location filename="../cli/recipe_command.cpp" line="370"/>
        <source>warning: %1</source>
        <translation>警告：%1</translation>
    </message>
</context>
<context>
    <name>RecipeTexts</name>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="16"/>
        <source>the recipe&apos;s signature is missing or does not verify</source>
        <translation>配方的签名缺失或无法验证</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="21"/>
        <source>the recipe is signed by a key this station does not trust</source>
        <translation>配方的签名密钥不在本工位信任的密钥之列</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="27"/>
        <source>the recipe cannot be read</source>
        <translation>无法读取配方</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="30"/>
        <source>the recipe has expired</source>
        <translation>配方已过期</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="61"/>
        <source>the image is not of the kind the recipe approves</source>
        <translation>映像的类型与配方批准的不符</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="63"/>
        <source>the image&apos;s size differs from the approved image&apos;s</source>
        <translation>映像的大小与批准的映像不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="65"/>
        <source>the image&apos;s SHA-256 differs from the approved image&apos;s</source>
        <translation>映像的 SHA-256 与批准的映像不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="33"/>
        <source>the image differs from the approved one</source>
        <translation>映像与批准的映像不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="36"/>
        <source>the recipe does not allow this port</source>
        <translation>配方不允许使用此端口</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="39"/>
        <source>the recipe requires a label</source>
        <translation>配方要求标签</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="83"/>
        <source>the label does not match the recipe&apos;s pattern</source>
        <translation>标签与配方的格式不符</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="17"/>
        <source>put the recipe&apos;s .minisig beside it, as the line engineer signed it; a recipe changed after signing must be signed again</source>
        <translation>将配方的 .minisig 签名文件（产线工程师签署的原件）放在配方旁边；签名后修改过的配方须重新签名</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="28"/>
        <source>make the recipe again with &apos;posflash-cli recipe make&apos; and sign it</source>
        <translation>请用“posflash-cli recipe make”重新制作配方并签名</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="31"/>
        <source>ask the line engineer for the current recipe</source>
        <translation>请向产线工程师索取当前的配方</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="34"/>
        <source>choose the image the recipe approves, or ask for a recipe for this one</source>
        <translation>请选择配方批准的映像，或为此映像申请配方</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="37"/>
        <source>put the unit on one of the fixture&apos;s ports the recipe names</source>
        <translation>请将设备接到配方所列的治具端口之一</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="40"/>
        <source>scan the unit&apos;s label again</source>
        <translation>请重新扫描设备的标签</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="42"/>
        <source>the signed recipe carries another name than the one asked for</source>
        <translation>签名的配方名称与所请求的名称不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="44"/>
        <source>publish a recipe signed under this name, or start the station with the name the recipe carries</source>
        <translation>发布以此名称签名的配方，或以配方所带的名称启动工位</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="52"/>
        <source>the recipe is older than one this station has already verified</source>
        <translation>该配方比本工位已验证过的配方旧</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="54"/>
        <source>publish the current recipe of this name, or have the line engineer sign a new one with a higher sequence</source>
        <translation>发布此名称的当前配方，或请产线工程师签署序号更高的新配方</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="22"/>
        <source>have the recipe signed with the line&apos;s key, or put that key&apos;s .pub into /etc/posflash/trusted-keys/ (the administrator&apos;s folder, for production recipes), or, for engineering recipes only, into your own ~/.config/posflash/trusted-keys/</source>
        <translation>请用产线的密钥签署配方，或将该密钥的 .pub 放入 /etc/posflash/trusted-keys/（管理员的文件夹，用于生产配方）；仅用于工程配方时，也可放入您自己的 ~/.config/posflash/trusted-keys/</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="47"/>
        <source>cannot read the recipe file</source>
        <translation>无法读取配方文件</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_texts.cpp" line="48"/>
        <source>check the recipe&apos;s name and folder, and that it and its .minisig may be read</source>
        <translation>请检查配方的文件名和文件夹，以及配方和它的 .minisig 是否可读</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="122"/>
        <source>no signature was given</source>
        <translation>没有提供签名</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="128"/>
        <source>key %1</source>
        <translation>密钥 %1</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="139"/>
        <source>key %1 is in %2, a folder that approves engineering recipes only; a production recipe needs a key the administrator installed in /etc/posflash/trusted-keys</source>
        <translation>密钥 %1 位于 %2，该文件夹只批准工程配方；生产配方需要管理员安装在 /etc/posflash/trusted-keys 中的密钥</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="145"/>
        <source>at %1</source>
        <translation>于 %1</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="162"/>
        <source>the image is a %1; the recipe approves a %2</source>
        <translation>镜像是 %1；配方批准的是 %2</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="168"/>
        <source>the image has %1 bytes; the recipe approves %2</source>
        <translation>镜像有 %1 字节；配方批准的是 %2 字节</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="56"/>
        <source>the image&apos;s SHA-256 is %1, the approved one %2: they differ from digit %3 on</source>
        <translation>镜像的 SHA-256 为 %1，批准的为 %2：两者从第 %3 位起不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="61"/>
        <source>%1 has SHA-256 %2, the approved image %3: they differ from digit %4 on</source>
        <translation>%1 的 SHA-256 为 %2，批准的镜像为 %3：两者从第 %4 位起不同</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="186"/>
        <source>the unit is not among the recipe&apos;s targets (%1)</source>
        <translation>该设备不在配方的目标中（%1）</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="190"/>
        <source>%1 is not among the recipe&apos;s targets (%2)</source>
        <translation>%1 不在配方的目标中（%2）</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="198"/>
        <source>no label was given</source>
        <translation>没有提供标签</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="207"/>
        <source>the label %1 does not match the pattern %2</source>
        <translation>标签 %1 与模式 %2 不匹配</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="88"/>
        <source>%1: no such file</source>
        <translation>%1：没有此文件</translation>
    </message>
    <message>
        <location filename="../recipe/recipe_check.cpp" line="93"/>
        <source>%1 is not a small regular file that may be read</source>
        <translation>%1 不是可读取的小型普通文件</translation>
    </message>
</context>
<context>
    <name>Report</name>
    <message>
        <location filename="../report/report_charts.cpp" line="110"/>
        <location filename="../report/report_charts.cpp" line="140"/>
        <location filename="../report/report_document.cpp" line="88"/>
        <source>Failure causes</source>
        <translation>失败原因</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="112"/>
        <source>No failures.</source>
        <translation>没有失败。</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="195"/>
        <source>bars: failed attempts per cause</source>
        <translation>柱：每个原因的失败次数</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="198"/>
        <source>line: cumulative share</source>
        <translation>线：累计占比</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="226"/>
        <source>Yield</source>
        <translation>良率</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="250"/>
        <source>first-pass yield</source>
        <translation>一次通过率</translation>
    </message>
    <message>
        <location filename="../report/report_charts.cpp" line="255"/>
        <source>final yield</source>
        <translation>最终良率</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="75"/>
        <source>day %1</source>
        <translation>%1 日</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="36"/>
        <source>Shift report</source>
        <translation>班次报告</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="41"/>
        <source>Period</source>
        <translation>时段</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="44"/>
        <source>Stations</source>
        <translation>工位</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="50"/>
        <source>Images</source>
        <translation>映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="62"/>
        <location filename="../report/report_document.cpp" line="54"/>
        <source>Source</source>
        <translation>来源</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="56"/>
        <source>Filters</source>
        <translation>筛选</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="63"/>
        <location filename="../report/report_document.cpp" line="57"/>
        <source>Made</source>
        <translation>生成时间</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="60"/>
        <location filename="../report/report_document.cpp" line="72"/>
        <location filename="../report/report_document.cpp" line="102"/>
        <location filename="../report/report_document.cpp" line="121"/>
        <source>Units</source>
        <translation>台数</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="61"/>
        <location filename="../report/report_document.cpp" line="72"/>
        <location filename="../report/report_document.cpp" line="121"/>
        <source>Attempts</source>
        <translation>尝试次数</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="62"/>
        <location filename="../report/report_document.cpp" line="73"/>
        <source>First-pass yield</source>
        <translation>一次通过率</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="64"/>
        <location filename="../report/report_document.cpp" line="74"/>
        <source>Final yield</source>
        <translation>最终良率</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="66"/>
        <location filename="../report/report_document.cpp" line="110"/>
        <source>Retries</source>
        <translation>重试</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="70"/>
        <source>Yield per station and shift</source>
        <translation>各工位各班次良率</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="71"/>
        <location filename="../report/report_document.cpp" line="102"/>
        <source>Station</source>
        <translation>工位</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="71"/>
        <source>Shift or day</source>
        <translation>班次或日期</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="97"/>
        <location filename="../report/report_document.cpp" line="89"/>
        <source>Cause</source>
        <translation>原因</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="89"/>
        <location filename="../report/report_document.cpp" line="120"/>
        <source>Failures</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="90"/>
        <source>Share</source>
        <translation>占比</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="90"/>
        <source>Cumulative</source>
        <translation>累计</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="91"/>
        <source>What it means</source>
        <translation>含义</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="98"/>
        <location filename="../report/report_document.cpp" line="91"/>
        <source>What to do</source>
        <translation>处理方法</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="101"/>
        <source>Time per unit</source>
        <translation>每台用时</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="103"/>
        <source>Median</source>
        <translation>中位数</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="103"/>
        <source>95th percentile</source>
        <translation>第 95 百分位</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="111"/>
        <source>Units retried</source>
        <translation>重试的台数</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="112"/>
        <source>Attempts after the first</source>
        <translation>首次之后的尝试</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="113"/>
        <source>Units passed at a retry</source>
        <translation>重试后通过的台数</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="119"/>
        <source>Ports with the most failures</source>
        <translation>失败最多的端口</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="120"/>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <location filename="../report/report_document.cpp" line="126"/>
        <source>No port failed.</source>
        <translation>没有端口失败。</translation>
    </message>
    <message>
        <location filename="../report/report_texts.cpp" line="39"/>
        <source>no cause recorded</source>
        <translation>未记录原因</translation>
    </message>
    <message>
        <location filename="../report/report_texts.cpp" line="15"/>
        <source>the printer did not answer</source>
        <translation>打印机没有应答</translation>
    </message>
    <message>
        <location filename="../report/report_texts.cpp" line="16"/>
        <source>the printer refused a frame</source>
        <translation>打印机拒绝了一帧</translation>
    </message>
    <message>
        <location filename="../report/report_texts.cpp" line="18"/>
        <source>the printer acknowledged another frame</source>
        <translation>打印机确认了另一帧</translation>
    </message>
    <message>
        <location filename="../report/report_texts.cpp" line="19"/>
        <source>the boot loader did not answer in time</source>
        <translation>引导程序没有及时应答</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="77"/>
        <location filename="../report/report_names.cpp" line="97"/>
        <source>shift %1</source>
        <translation>班次 %1</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="78"/>
        <source>shift %1, %2</source>
        <translation>班次 %1，%2</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="86"/>
        <source>the line&apos;s records</source>
        <translation>产线记录</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="88"/>
        <source>station %1</source>
        <translation>工位 %1</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="100"/>
        <source>operator %1</source>
        <translation>操作员 %1</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="102"/>
        <source>label %1</source>
        <translation>标签 %1</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="45"/>
        <source>until %1</source>
        <translation>至 %1</translation>
    </message>
    <message>
        <location filename="../report/report_names.cpp" line="48"/>
        <source>from %1</source>
        <translation>自 %1 起</translation>
    </message>
    <message numerus="yes">
        <location filename="../report/report_document.cpp" line="48"/>
        <source>%1, %n units</source>
        <translation>
            <numerusform>%1，%n 台</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location filename="../report/report_document.cpp" line="83"/>
        <source>%n engineering units are left out.</source>
        <translation>
            <numerusform>%n 台工程机未计入。</numerusform>
        </translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="12"/>
        <source>current</source>
        <translation>当前映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="13"/>
        <source>older image</source>
        <translation>较旧映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="14"/>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="15"/>
        <source>pending</source>
        <translation>待处理</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="16"/>
        <source>not under this recipe</source>
        <translation>未按此配方更新过</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="50"/>
        <source>Compliance report</source>
        <translation>合规报告</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="53"/>
        <source>Recipe</source>
        <translation>配方</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="54"/>
        <source>Sequence</source>
        <translation>序号</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="56"/>
        <source>Image</source>
        <translation>映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="57"/>
        <source>Image from</source>
        <translation>映像来源</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="59"/>
        <source>the newest published recipe of this name</source>
        <translation>此名称最新发布的配方</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="60"/>
        <source>the newest completed downloads under this name: no recipe of this name is published</source>
        <translation>此名称下最近完成的下载：此名称没有已发布的配方</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="67"/>
        <location filename="../report/compliance_report.cpp" line="77"/>
        <source>Printers</source>
        <translation>打印机</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="68"/>
        <location filename="../report/compliance_report.cpp" line="78"/>
        <source>On the recipe&apos;s image</source>
        <translation>运行配方映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="70"/>
        <location filename="../report/compliance_report.cpp" line="79"/>
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="71"/>
        <location filename="../report/compliance_report.cpp" line="80"/>
        <source>Pending</source>
        <translation>待处理</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="72"/>
        <location filename="../report/compliance_report.cpp" line="81"/>
        <source>Ever failed</source>
        <translation>曾失败</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="75"/>
        <source>Per store</source>
        <translation>按门店</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="77"/>
        <location filename="../report/compliance_report.cpp" line="96"/>
        <source>Store</source>
        <translation>门店</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="79"/>
        <source>Older image</source>
        <translation>较旧映像</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="80"/>
        <source>Not under it</source>
        <translation>未按此配方</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="85"/>
        <source>All stores</source>
        <translation>所有门店</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="87"/>
        <source>Ever failed counts the printers with any failed download under this recipe, in every run; a later success does not take one back. Pending printers were not sent anything and count against no budget.</source>
        <translation>“曾失败”统计在任何一次运行中按此配方下载失败过的打印机；之后成功也不会扣除。待处理的打印机未收到任何内容，不计入失败预算。</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="94"/>
        <source>Printers not on the recipe&apos;s image</source>
        <translation>未运行配方映像的打印机</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="96"/>
        <source>MAC or USB serial</source>
        <translation>MAC 或 USB 序列号</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="97"/>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="98"/>
        <source>When</source>
        <translation>时间</translation>
    </message>
    <message>
        <location filename="../report/compliance_report.cpp" line="109"/>
        <source>Every printer runs the recipe&apos;s image.</source>
        <translation>所有打印机都运行配方映像。</translation>
    </message>
</context>
<context>
    <name>frmBoot</name>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="88"/>
        <source>Port Select</source>
        <translation>端口选择</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="89"/>
        <source>Comm settings</source>
        <translation>通讯设置</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="90"/>
        <source>Network settings</source>
        <translation>网络设置</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="91"/>
        <source>Automatic</source>
        <translation>自动获取</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="92"/>
        <source>Manual</source>
        <translation>手动获取</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="93"/>
        <source>GetPort</source>
        <translation>获取端口号</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="94"/>
        <source>Files</source>
        <translation>程序文件</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="95"/>
        <source>InBoot</source>
        <translation>进入下载</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="96"/>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="107"/>
        <source>The printer program update V1.2</source>
        <translation>打印机程序更新软件 V1.2</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="108"/>
        <source>Website:</source>
        <translation>官方网站:</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="110"/>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="117"/>
        <source>COM port</source>
        <translation>串口号</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="118"/>
        <source>Baud rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="119"/>
        <source>Printer port not found</source>
        <translation>未找到打印机端口</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="120"/>
        <source>Printer port found</source>
        <translation>已找到打印机端口</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="121"/>
        <source>Program file path</source>
        <translation>程序文件路径</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="122"/>
        <source>Font file path</source>
        <translation>字库文件路径</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="123"/>
        <source>Download progress</source>
        <translation>下载进度</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_faces.cpp" line="124"/>
        <source>Program icon</source>
        <translation>程序图标</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_load.cpp" line="137"/>
        <location filename="../app/frm_boot_load.cpp" line="147"/>
        <source>Check the setup: %1</source>
        <translation>请检查设置：%1</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="122"/>
        <source>no access to serial devices (join the dialout group)</source>
        <translation>无权访问串口设备（请加入 dialout 组）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="125"/>
        <source>udev rule %1 not installed</source>
        <translation>未安装 udev 规则 %1</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="129"/>
        <source>no right to bind UDP ports 67 and 69 for network downloads</source>
        <translation>无权绑定网络下载所需的 UDP 端口 67 和 69</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="133"/>
        <source>this session has no seat (a remote login), so udev gives it no access to printers (join the dialout and lp groups)</source>
        <translation>此会话没有座席（远程登录），udev 不会授予它访问打印机的权限（请加入 dialout 和 lp 组）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="140"/>
        <source>ModemManager is running and may probe the printer&apos;s port (udev rule %1 keeps it off the printers; for other serial adapters stop or mask ModemManager)</source>
        <translation>ModemManager 正在运行，可能探测打印机的端口（udev 规则 %1 使其不碰打印机；其他串口适配器请停止或屏蔽 ModemManager）</translation>
    </message>
    <message>
        <location filename="../app/host_readiness_linux.cpp" line="147"/>
        <source>brltty claims USB-serial adapters (remove the brltty package, or mask its udev rule and service)</source>
        <translation>brltty 会占用 USB 串口适配器（请卸载 brltty 软件包，或屏蔽它的 udev 规则和服务）</translation>
    </message>
    <message>
        <location filename="../app/frm_boot_load.cpp" line="133"/>
        <location filename="../app/frm_boot_load.cpp" line="148"/>
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
    <name>posflash::LineSlot</name>
    <message>
        <location filename="../line/line_slot.cpp" line="34"/>
        <source>Plug in the next printer.</source>
        <translation>请插入下一台打印机。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="37"/>
        <source>Connect the next printer, then press Next or scan its label.</source>
        <translation>连接下一台打印机，然后按“下一台”或扫描其标签。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="40"/>
        <source>Scan the next printer&apos;s MAC label or type its MAC.</source>
        <translation>扫描下一台打印机的 MAC 标签，或输入其 MAC 地址。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="63"/>
        <source>The recipe does not name this port: no unit is loaded here.</source>
        <translation>配方未列出此端口：此处不装载任何设备。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="268"/>
        <source>stopped; the update was cancelled safely</source>
        <translation>已停止；更新已安全取消</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="70"/>
        <source>This slot names no printer: %1. Ask the line&apos;s technician to set up the slot.</source>
        <translation>此工位未指定打印机：%1。请联系产线技术员设置该工位。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="240"/>
        <source>refused, resend %1 of %2</source>
        <translation>被拒绝，第 %1 次重发，共 %2 次</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="243"/>
        <source>answer for another frame, resend %1 of %2</source>
        <translation>应答了另一帧，第 %1 次重发，共 %2 次</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="246"/>
        <source>no answer, resend %1 of %2</source>
        <translation>无应答，第 %1 次重发，共 %2 次</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="251"/>
        <source>attempt %1 of %2 · </source>
        <translation>第 %1 次尝试，共 %2 次 · </translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="81"/>
        <source>This PC has no port %1 (port-missing). Ask the line&apos;s technician to connect the printer&apos;s cable or set up the slot, then press Next.</source>
        <translation>本机没有端口 %1（port-missing）。请产线技术员连接打印机电缆或设置此工位，然后按“下一台”。</translation>
    </message>
    <message>
        <location filename="../line/line_slot.cpp" line="85"/>
        <source>%1 is not a serial line (port-not-serial). Ask the line&apos;s technician to set up the slot.</source>
        <translation>%1 不是串口（port-not-serial）。请联系产线技术员设置该工位。</translation>
    </message>
</context>
<context>
    <name>posflash::LineWindow</name>
    <message>
        <location filename="../line/line_window.cpp" line="119"/>
        <source>posflash (production line)</source>
        <translation>posflash（生产线）</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="169"/>
        <source>&quot;%1&quot; is no MAC address.</source>
        <translation>“%1”不是 MAC 地址。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="214"/>
        <source>records: address not understood</source>
        <translation>记录：无法识别地址</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="257"/>
        <source>Records database</source>
        <translation>记录数据库</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="268"/>
        <source>Passed</source>
        <translation>通过</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="269"/>
        <source>Failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="270"/>
        <source>Total</source>
        <translation>总数</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="271"/>
        <source>First-pass yield</source>
        <translation>一次通过率</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="272"/>
        <source>Final yield</source>
        <translation>最终良率</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="273"/>
        <source>Mean per unit</source>
        <translation>平均每台</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="300"/>
        <source>New shift</source>
        <translation>新班次</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="301"/>
        <source>Start a new shift: counters to zero</source>
        <translation>开始新班次：计数清零</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="315"/>
        <source>Label</source>
        <translation>标签</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="321"/>
        <source>Scanned label</source>
        <translation>扫描的标签</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="322"/>
        <source>Scan the unit&apos;s label (or type it and press Enter)</source>
        <translation>扫描设备标签（或输入后按回车）</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="337"/>
        <source>Shift report</source>
        <translation>班次报告</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="338"/>
        <source>Write this shift&apos;s report (HTML and PDF)</source>
        <translation>写出本班次的报告（HTML 和 PDF）</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="553"/>
        <source>Label refused: %1. Scan the label again.</source>
        <translation>标签被拒绝：%1。请重新扫描标签。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="599"/>
        <source>The label %1 was given to a unit on slot %2 at %3. Give it to another unit?</source>
        <translation>标签 %1 已于 %3 分配给工位 %2 上的设备。是否分配给另一台设备？</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="624"/>
        <source>The label %1 was given to a unit on station %2 at %3. Give it to another unit?</source>
        <translation>标签 %1 已于 %3 分配给工作站 %2 上的设备。是否分配给另一台设备？</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="626"/>
        <source>(unknown)</source>
        <translation>（未知）</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="656"/>
        <source>next unit: %1</source>
        <translation>下一台：%1</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="697"/>
        <source>Operator %1 · Station %2 · Retries %3</source>
        <translation>操作员 %1 · 工作站 %2 · 重试 %3</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="701"/>
        <source> · Label required</source>
        <translation> · 需要标签</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="713"/>
        <source>End the shift of %1 since %2? %3 units: %4 passed, %5 failed; first-pass yield %6; mean per unit %7.</source>
        <translation>结束 %1 自 %2 起的班次？%3 台：%4 台通过，%5 台失败；一次通过率 %6；平均每台 %7。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="810"/>
        <source>Shift since %1</source>
        <translation>班次开始于 %1</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="811"/>
        <source>Shift %1</source>
        <translation>班次 %1</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="829"/>
        <source>The shift report was not written: %1</source>
        <translation>班次报告未能写出：%1</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="874"/>
        <source>Stop and leave? A frame in flight finishes its tries, then each update stops. A unit stopped before its last frame stays in its boot loader with part of the image and needs a new download.</source>
        <translation>停止并退出？正在发送的帧会完成其重试，然后每个更新停止。在最后一帧之前停止的设备会停留在引导程序中，只有部分映像，需要重新下载。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="878"/>
        <source>1 unit is updating.</source>
        <translation>1 台设备正在更新。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="878"/>
        <source>%1 units are updating.</source>
        <translation>%1 台设备正在更新。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="754"/>
        <source>Loading the image %1…</source>
        <translation>正在读取映像 %1…</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="523"/>
        <source>it is %1 characters long, and a label has at most %2</source>
        <translation>它有 %1 个字符，而标签最多 %2 个字符</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="657"/>
        <source>Esc drops it</source>
        <translation>按 Esc 放弃</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="482"/>
        <source>%1 dropped: it goes to no unit.</source>
        <translation>已放弃 %1：它不给任何一台。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="445"/>
        <source>%1 refused: this station has no slot %2, only 1 to %3.</source>
        <translation>%1 被拒绝：本工作站没有工位 %2，只有 1 到 %3。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="453"/>
        <source>%1 refused: no unit on slot %2 waits for its label.</source>
        <translation>%1 被拒绝：工位 %2 上没有等待标签的设备。</translation>
    </message>
    <message>
        <location filename="../line/line_window.cpp" line="462"/>
        <source>%1 refused: %2 is held for the next unit. Give it (Next) or drop it (Esc), then scan again.</source>
        <translation>%1 被拒绝：%2 已留给下一台。请先给出（下一台）或放弃（Esc），再扫描。</translation>
    </message>
</context>
<context>
    <name>posflash::QuestionBar</name>
    <message>
        <location filename="../line/question_bar.cpp" line="37"/>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <location filename="../line/question_bar.cpp" line="38"/>
        <source>No</source>
        <translation>否</translation>
    </message>
</context>
<context>
    <name>posflash::SlotCodes</name>
    <message>
        <location filename="../line/slot_codes.cpp" line="65"/>
        <source>Slot %1 · %2</source>
        <translation>工位 %1 · %2</translation>
    </message>
    <message>
        <location filename="../line/slot_codes.cpp" line="70"/>
        <source>Slot codes</source>
        <translation>工位码</translation>
    </message>
    <message>
        <location filename="../line/slot_codes.cpp" line="81"/>
        <source>Scan a slot&apos;s code, then a unit&apos;s label: the label goes to that slot&apos;s waiting unit.</source>
        <translation>先扫描工位码，再扫描设备标签：标签给该工位上等待的设备。</translation>
    </message>
    <message>
        <location filename="../line/slot_codes.cpp" line="94"/>
        <source>--print-slot-codes: name the slots (--port, --usb-path, --ip) or keep them in line.ini first.</source>
        <translation>--print-slot-codes：请先指定工位（--port、--usb-path、--ip）或在 line.ini 中保存。</translation>
    </message>
    <message>
        <location filename="../line/slot_codes.cpp" line="112"/>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
<context>
    <name>posflash::SlotTile</name>
    <message>
        <location filename="../line/slot_tile.cpp" line="65"/>
        <source>Slot %1</source>
        <translation>工位 %1</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="106"/>
        <source>Slot %1 progress</source>
        <translation>工位 %1 进度</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="116"/>
        <source>Next</source>
        <translation>下一台</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="118"/>
        <source>Next unit on slot %1</source>
        <translation>工位 %1 的下一台</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="130"/>
        <source>MAC of the next unit on slot %1</source>
        <translation>工位 %1 下一台的 MAC</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="131"/>
        <source>MAC of the next unit, then Enter</source>
        <translation>下一台的 MAC，然后按回车</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="162"/>
        <source>What to do: %1</source>
        <translation>处理方法：%1</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="183"/>
        <source>WAITING</source>
        <translation>等待</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="187"/>
        <source>SCAN LABEL</source>
        <translation>扫描标签</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="188"/>
        <source>A unit is here: scan its label to start.</source>
        <translation>设备已就位：扫描其标签即可开始。</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="192"/>
        <source>starting…</source>
        <translation>正在开始…</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="192"/>
        <source>%1 left</source>
        <translation>剩余 %1</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="194"/>
        <source>attempt %1 of %2 · </source>
        <translation>第 %1 次尝试，共 %2 次 · </translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="202"/>
        <source>RETRY</source>
        <translation>重试</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="203"/>
        <source>attempt %1 of %2 next: %3</source>
        <translation>下一次为第 %1 次，共 %2 次：%3</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="212"/>
        <source>SET-UP</source>
        <translation>需设置</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="216"/>
        <source>NOT IN USE</source>
        <translation>未使用</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="220"/>
        <source>done in %1</source>
        <translation>用时 %1</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="222"/>
        <source> · at attempt %1</source>
        <translation> · 第 %1 次成功</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="99"/>
        <location filename="../line/slot_tile.cpp" line="223"/>
        <source>PASS</source>
        <translation>通过</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="99"/>
        <location filename="../line/slot_tile.cpp" line="227"/>
        <source>FAIL</source>
        <translation>失败</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="235"/>
        <source>stopping safely…</source>
        <translation>正在安全停止…</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="88"/>
        <source>next scan →</source>
        <translation>下一次扫描 →</translation>
    </message>
    <message>
        <location filename="../line/slot_tile.cpp" line="240"/>
        <source>The next scan goes to this slot.</source>
        <translation>下一次扫描的标签给此工位。</translation>
    </message>
</context>
<context>
    <name>posflash::StartPanel</name>
    <message>
        <location filename="../line/start_panel.cpp" line="41"/>
        <source>posflash (production line): start a shift</source>
        <translation>posflash（生产线）：开始班次</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="44"/>
        <source>Image file</source>
        <translation>映像文件</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="45"/>
        <source>Browse…</source>
        <translation>浏览…</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="45"/>
        <source>Choose the image</source>
        <translation>选择映像</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="46"/>
        <source>Font</source>
        <translation>字库</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="46"/>
        <source>The image is a font</source>
        <translation>映像为字库</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="52"/>
        <location filename="../line/start_panel.cpp" line="126"/>
        <source>Image</source>
        <translation>映像</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="57"/>
        <source>Serial port slots</source>
        <translation>串口工位</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="58"/>
        <source>/dev/ttyUSB0, COM3, …</source>
        <translation>/dev/ttyUSB0, COM3, …</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="59"/>
        <source>Serial ports</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="61"/>
        <source>USB hot-plug slots</source>
        <translation>USB 热插拔工位</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="62"/>
        <source>1-1.1, 1-1.2, …</source>
        <translation>1-1.1, 1-1.2, …</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="63"/>
        <source>USB paths</source>
        <translation>USB 路径</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="65"/>
        <source>Serial number prefix of USB printers</source>
        <translation>USB 打印机的序列号前缀</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="66"/>
        <source>Serial prefix</source>
        <translation>序列号前缀</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="71"/>
        <source>Network printer slots</source>
        <translation>网络打印机工位</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="72"/>
        <source>192.168.1.50/00-11-22-33-44-55, 192.168.1.51, …</source>
        <translation>192.168.1.50/00-11-22-33-44-55, 192.168.1.51, …</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="73"/>
        <source>Network printers</source>
        <translation>网络打印机</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="75"/>
        <source>Retries after a failure</source>
        <translation>失败后的重试次数</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="78"/>
        <source>Retries</source>
        <translation>重试</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="79"/>
        <source>A unit waits for its scanned label</source>
        <translation>设备等待扫描标签</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="80"/>
        <source>Label required</source>
        <translation>需要标签</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="82"/>
        <source>Label</source>
        <translation>标签</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="83"/>
        <source>Operator&apos;s name</source>
        <translation>操作员姓名</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="84"/>
        <source>Operator</source>
        <translation>操作员</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="85"/>
        <source>Station name</source>
        <translation>工作站名称</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="87"/>
        <source>Station</source>
        <translation>工作站</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="89"/>
        <location filename="../line/start_panel.cpp" line="93"/>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="96"/>
        <source>Line recipe</source>
        <translation>产线配方</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="97"/>
        <source>none: any image (a signed recipe enforces one)</source>
        <translation>无：任何映像（签名的配方只允许一个映像）</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="101"/>
        <source>Recipe</source>
        <translation>配方</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="118"/>
        <source>Start shift</source>
        <translation>开始班次</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="119"/>
        <source>Start the shift</source>
        <translation>开始班次</translation>
    </message>
    <message>
        <location filename="../line/start_panel.cpp" line="120"/>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
</TS>
