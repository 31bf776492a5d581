<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>CCommon</name>
    <message>
        <source>b/s</source>
        <translation>b/s</translation>
    </message>
    <message>
        <source>Kb/s</source>
        <translation>Kb/s</translation>
    </message>
    <message>
        <source>Mb/s</source>
        <translation>Mb/s</translation>
    </message>
    <message>
        <source>Gb/s</source>
        <translation>Gb/s</translation>
    </message>
</context>
<context>
    <name>CDeviceDlg</name>
    <message>
        <source>Video Option</source>
        <translation>视频选项</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>高级</translation>
    </message>
    <message>
        <source>HDMI</source>
        <translation type="vanished">HDMI</translation>
    </message>
    <message>
        <source>VGA</source>
        <translation type="vanished">VGA</translation>
    </message>
    <message>
        <source>Component</source>
        <translation type="vanished">色差分量</translation>
    </message>
    <message>
        <source>CVBS</source>
        <translation type="vanished">CVBS</translation>
    </message>
    <message>
        <source>SVideo</source>
        <translation type="vanished">S 端子</translation>
    </message>
    <message>
        <source>SDI</source>
        <translation type="vanished">SDI</translation>
    </message>
    <message>
        <source>Second Component</source>
        <translation type="vanished">第二路色差分量</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>设备：</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>位置：</translation>
    </message>
    <message>
        <source>(Not set device)</source>
        <translation>（未设置设备）</translation>
    </message>
    <message>
        <source>(Not set position)</source>
        <translation>（未设置位置）</translation>
    </message>
    <message>
        <source>Position</source>
        <translation type="vanished">位置</translation>
    </message>
    <message>
        <source>Video Params</source>
        <translation>视频参数</translation>
    </message>
    <message>
        <source>Contract:</source>
        <translation type="vanished">对比度：</translation>
    </message>
    <message>
        <source>Brightness:</source>
        <translation>亮度：</translation>
    </message>
    <message>
        <source>Hue:</source>
        <translation>色调：</translation>
    </message>
    <message>
        <source>Saturation:</source>
        <translation>饱和度：</translation>
    </message>
    <message>
        <source>No signal</source>
        <translation>无信号</translation>
    </message>
    <message>
        <source>Capture signal status</source>
        <translation>采集信号状态</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>帧/秒</translation>
    </message>
    <message>
        <source>Contrast:</source>
        <translation>对比度：</translation>
    </message>
    <message>
        <source>Position %1</source>
        <translation>位置 %1</translation>
    </message>
</context>
<context>
    <name>CKVMediaError</name>
    <message>
        <source>The file path is longer than %1 characters.</source>
        <translation>文件路径超过 %1 个字符。</translation>
    </message>
    <message>
        <source>The computer has run out of memory.</source>
        <translation>计算机内存不足。</translation>
    </message>
    <message>
        <source>The video encoder does not accept these settings: %1.</source>
        <translation>视频编码器不接受这些设置：%1。</translation>
    </message>
    <message>
        <source>No video encoder is installed.</source>
        <translation>未安装视频编码器。</translation>
    </message>
    <message>
        <source>The video encoder could not be started.</source>
        <translation>无法启动视频编码器。</translation>
    </message>
    <message>
        <source>The audio encoder does not accept these settings: %1.</source>
        <translation>音频编码器不接受这些设置：%1。</translation>
    </message>
    <message>
        <source>No audio encoder is installed.</source>
        <translation>未安装音频编码器。</translation>
    </message>
    <message>
        <source>The audio encoder could not be started.</source>
        <translation>无法启动音频编码器。</translation>
    </message>
    <message>
        <source>The folder %1 may not be written to.</source>
        <translation>没有写入文件夹 %1 的权限。</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>文件夹 %1 不存在。</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>磁盘已满。</translation>
    </message>
    <message>
        <source>The file %1 could not be created: %2.</source>
        <translation>无法创建文件 %1：%2。</translation>
    </message>
    <message>
        <source>The file %1 could not be created.</source>
        <translation>无法创建文件 %1。</translation>
    </message>
    <message>
        <source>The address %1 is not a valid RTMP address.</source>
        <translation>地址 %1 不是有效的 RTMP 地址。</translation>
    </message>
    <message>
        <source>The server name %1 is not known.</source>
        <translation>无法识别服务器名称 %1。</translation>
    </message>
    <message>
        <source>The server refused the connection: nothing is listening on that port.</source>
        <translation>服务器拒绝了连接：该端口上没有服务在监听。</translation>
    </message>
    <message>
        <source>The server did not answer in time.</source>
        <translation>服务器未能及时响应。</translation>
    </message>
    <message>
        <source>The server answered, but it is not an RTMP server.</source>
        <translation>服务器有响应，但它不是 RTMP 服务器。</translation>
    </message>
    <message>
        <source>The network failed: %1.</source>
        <translation>网络故障：%1。</translation>
    </message>
    <message>
        <source>The server could not be reached.</source>
        <translation>无法连接到服务器。</translation>
    </message>
    <message>
        <source>The server&apos;s certificate is not trusted: it is not signed by a known certificate authority, or it was made for another server.</source>
        <translation>服务器的证书不受信任：它不是由已知的证书颁发机构签发的，或者它是为另一台服务器签发的。</translation>
    </message>
    <message>
        <source>The server answered, but not with an encrypted (TLS) connection. Check the port, or use rtmp:// instead of rtmps://.</source>
        <translation>服务器有应答，但不是加密（TLS）连接。请检查端口，或改用 rtmp:// 而不是 rtmps://。</translation>
    </message>
</context>
<context>
    <name>CMainWnd</name>
    <message>
        <source>Output</source>
        <translation>输出</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>帧/秒</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>快照</translation>
    </message>
    <message>
        <source>Fullscreen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>Start record or push streams</source>
        <translation>开始录制或推流</translation>
    </message>
    <message>
        <source>Stop record or push streams</source>
        <translation>停止录制或推流</translation>
    </message>
    <message>
        <source>Create snapshot</source>
        <translation>创建快照</translation>
    </message>
    <message>
        <source>Show fullscreen</source>
        <translation>全屏显示</translation>
    </message>
    <message>
        <source>Folder not exists.
Please reset saving path!</source>
        <translation>文件夹不存在。
请重新设置保存路径！</translation>
    </message>
    <message>
        <source>Disk space is not enough.</source>
        <translation>磁盘空间不足。</translation>
    </message>
    <message>
        <source>Start error!</source>
        <translation>启动失败！</translation>
    </message>
    <message>
        <source>yyyy.MM.dd hh.mm.ss</source>
        <translation>yyyy.MM.dd hh.mm.ss</translation>
    </message>
    <message>
        <source>.mp4</source>
        <translation>.mp4</translation>
    </message>
    <message>
        <source>Disk space is not enough to complete mp4 file.
Delete some other files and retry?
</source>
        <translation>磁盘空间不足，无法完成 MP4 文件。
删除其他一些文件后重试吗？
</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>Folder cannot be written:
%1
Please reset saving path!</source>
        <translation>文件夹无法写入：
%1
请重新设置保存路径！</translation>
    </message>
    <message>
        <source>Folder cannot be written:
%1
Recording has been stopped.</source>
        <translation>文件夹无法写入：
%1
录制已停止。</translation>
    </message>
    <message>
        <source>Folder is gone:
%1
Recording has been stopped.</source>
        <translation>文件夹已不存在：
%1
录制已停止。</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>节目</translation>
    </message>
    <message>
        <source>Studio mode</source>
        <translation>导播模式</translation>
    </message>
    <message>
        <source>Prepare the next shot in Preview, then take it</source>
        <translation>在预览中准备下一个画面，然后切换上线</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>硬切</translation>
    </message>
    <message>
        <source>Put Preview on air at once</source>
        <translation>立即将预览切换上线</translation>
    </message>
    <message>
        <source>Take</source>
        <translation>切换</translation>
    </message>
    <message>
        <source>Put Preview on air with the transition</source>
        <translation>以所选转场将预览切换上线</translation>
    </message>
    <message>
        <source>Fade</source>
        <translation>淡化</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
</context>
<context>
    <name>CSettings</name>
    <message>
        <source>Video %1</source>
        <translation>视频 %1</translation>
    </message>
</context>
<context>
    <name>CStreamGroup</name>
    <message>
        <source>RTMP</source>
        <translation>RTMP</translation>
    </message>
    <message>
        <source>Destination:</source>
        <translation>推流目标：</translation>
    </message>
    <message>
        <source>Push stream to RTMP server.</source>
        <translation>推流到 RTMP 服务器。</translation>
    </message>
    <message>
        <source>Test Connect</source>
        <translation>测试连接</translation>
    </message>
    <message>
        <source>Tests every destination that is switched on</source>
        <translation>测试每个已开启的推流目标</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>An IP address, or the server URL a platform gives (rtmp://, rtmps:// or srt://)</source>
        <translation>IP 地址，或平台提供的服务器 URL（rtmp://、rtmps:// 或 srt://）</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP 地址：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>The stream name, or the stream key a platform gives</source>
        <translation>流名称，或平台提供的串流密钥</translation>
    </message>
    <message>
        <source>Stream Name:</source>
        <translation>流名称：</translation>
    </message>
    <message>
        <source>Show the stream key</source>
        <translation>显示推流密钥</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>SRT latency (ms):</source>
        <translation>SRT 延迟（毫秒）：</translation>
    </message>
    <message>
        <source>SRT passphrase:</source>
        <translation>SRT 密码：</translation>
    </message>
    <message>
        <source>Complete URL:</source>
        <translation>完整地址：</translation>
    </message>
    <message>
        <source>The system&apos;s certificates</source>
        <translation>系统证书</translation>
    </message>
    <message>
        <source>A PEM file of further certificate authorities for rtmps servers</source>
        <translation>用于 rtmps 服务器的附加证书颁发机构 PEM 文件</translation>
    </message>
    <message>
        <source>CA certificates:</source>
        <translation>CA 证书：</translation>
    </message>
    <message>
        <source>Choose a certificate file</source>
        <translation>选择证书文件</translation>
    </message>
    <message>
        <source>%1 (on)</source>
        <translation>%1（开）</translation>
    </message>
    <message>
        <source>%1 (off)</source>
        <translation>%1（关）</translation>
    </message>
    <message>
        <source>Hide the stream key</source>
        <translation>隐藏推流密钥</translation>
    </message>
    <message>
        <source>Test successful!</source>
        <translation>测试成功！</translation>
    </message>
    <message>
        <source>Test fail!</source>
        <translation>测试失败！</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Certificate authorities</source>
        <translation>证书颁发机构</translation>
    </message>
    <message>
        <source>Certificates (*.pem *.crt);;All files (*)</source>
        <translation>证书 (*.pem *.crt);;所有文件 (*)</translation>
    </message>
</context>
<context>
    <name>CStudioMenu</name>
    <message>
        <source>Studio &amp;mode</source>
        <translation>导播模式(&amp;M)</translation>
    </message>
    <message>
        <source>Prepare the next shot in Preview, then take it</source>
        <translation>在预览中准备下一个画面，然后切换上线</translation>
    </message>
    <message>
        <source>&amp;Take</source>
        <translation>切换(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Cut</source>
        <translation>硬切(&amp;C)</translation>
    </message>
    <message>
        <source>Camera %1 to Preview</source>
        <translation>摄像机 %1 到预览</translation>
    </message>
    <message>
        <source>Camera %1 on air</source>
        <translation>摄像机 %1 上线</translation>
    </message>
</context>
<context>
    <name>CTabLayout</name>
    <message>
        <source>Single</source>
        <translation>单画面</translation>
    </message>
    <message>
        <source>Picture in Picture (Bottom Right)</source>
        <translation>画中画（右下）</translation>
    </message>
    <message>
        <source>Picture in Picture (Top Left)</source>
        <translation>画中画（左上）</translation>
    </message>
    <message>
        <source>One Above Two</source>
        <translation>上一下二</translation>
    </message>
    <message>
        <source>Side by Side</source>
        <translation>左右并排</translation>
    </message>
    <message>
        <source>Quad</source>
        <translation>四分屏</translation>
    </message>
    <message>
        <source>One Large, Five Small</source>
        <translation>一大五小</translation>
    </message>
    <message>
        <source>Six Grid</source>
        <translation>六宫格</translation>
    </message>
    <message>
        <source>One Large, Three Small</source>
        <translation>一大三小</translation>
    </message>
    <message>
        <source>Top and Bottom</source>
        <translation>上下排列</translation>
    </message>
    <message>
        <source>Three Across</source>
        <translation>三画面横排</translation>
    </message>
</context>
<context>
    <name>CTabOverlay</name>
    <message>
        <source>Logo</source>
        <translation>台标</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>位置：</translation>
    </message>
    <message>
        <source>Top-Left</source>
        <translation>左上</translation>
    </message>
    <message>
        <source>Top-Right</source>
        <translation>右上</translation>
    </message>
    <message>
        <source>Bottom-Left</source>
        <translation>左下</translation>
    </message>
    <message>
        <source>Bottom-Right</source>
        <translation>右下</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>大小：</translation>
    </message>
    <message>
        <source>Caption</source>
        <translation>字幕</translation>
    </message>
    <message>
        <source>Text:</source>
        <translation>文字：</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Style:</source>
        <translation>样式：</translation>
    </message>
    <message>
        <source>Under line</source>
        <translation>下划线</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>粗体</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>斜体</translation>
    </message>
    <message>
        <source>Text color:</source>
        <translation>文字颜色：</translation>
    </message>
    <message>
        <source>Border color:</source>
        <translation>描边颜色：</translation>
    </message>
    <message>
        <source>Border:</source>
        <translation>描边：</translation>
    </message>
    <message>
        <source>Text font:</source>
        <translation>字体：</translation>
    </message>
    <message>
        <source>Top-Center</source>
        <translation>中上</translation>
    </message>
    <message>
        <source>Bottom-Center</source>
        <translation>中下</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Show Time</source>
        <translation>显示时间</translation>
    </message>
    <message>
        <source>(%1, %2, %3)</source>
        <translation>(%1, %2, %3)</translation>
    </message>
    <message>
        <source>The logo &quot;%1&quot; cannot be shown: it is larger than %2 pixels on a side.</source>
        <translation>无法显示台标“%1”：其边长超过 %2 像素。</translation>
    </message>
    <message>
        <source>The logo &quot;%1&quot; cannot be shown: the file is missing or is not a readable picture.</source>
        <translation>无法显示台标“%1”：文件不存在或不是可读取的图片。</translation>
    </message>
    <message>
        <source>Vistrel Circle</source>
        <translation>Vistrel 圆形</translation>
    </message>
    <message>
        <source>Vistrel Hexagon</source>
        <translation>Vistrel 六边形</translation>
    </message>
    <message>
        <source>Live Badge</source>
        <translation>直播标志</translation>
    </message>
    <message>
        <source>Vistrel Wordmark</source>
        <translation>Vistrel 字标</translation>
    </message>
    <message>
        <source>Logo %1 is not in the layout file.</source>
        <translation>布局文件中没有台标 %1。</translation>
    </message>
</context>
<context>
    <name>CTabPreview</name>
    <message>
        <source>(Not set position)</source>
        <translation>（未设置位置）</translation>
    </message>
    <message>
        <source>Position %1</source>
        <translation>位置 %1</translation>
    </message>
    <message>
        <source>Device properties are not available yet</source>
        <translation type="vanished">设备属性暂不可用</translation>
    </message>
    <message>
        <source>No picture: the device could not be opened</source>
        <translation>无画面：无法打开设备</translation>
    </message>
    <message>
        <source>No picture: the device does not support this size</source>
        <translation>无画面：设备不支持此尺寸</translation>
    </message>
    <message>
        <source>Not shown in the output</source>
        <translation>未在输出中显示</translation>
    </message>
    <message>
        <source>Video Option</source>
        <translation>视频选项</translation>
    </message>
    <message>
        <source>No signal</source>
        <translation>无信号</translation>
    </message>
    <message>
        <source>The camera of Video %1 is unplugged: no signal.</source>
        <translation>视频 %1 的摄像头已拔出：无信号。</translation>
    </message>
    <message>
        <source>The camera &quot;%1&quot; (Video %2) is unplugged: no signal.</source>
        <translation>摄像头“%1”（视频 %2）已拔出：无信号。</translation>
    </message>
</context>
<context>
    <name>CTabScreen</name>
    <message>
        <source>Screen</source>
        <translation>屏幕</translation>
    </message>
    <message>
        <source>Enable screen output</source>
        <translation>启用屏幕输出</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Left:</source>
        <translation>左：</translation>
    </message>
    <message>
        <source>Top:</source>
        <translation>上：</translation>
    </message>
    <message>
        <source>Width:</source>
        <translation>宽：</translation>
    </message>
    <message>
        <source>Height:</source>
        <translation>高：</translation>
    </message>
    <message>
        <source>Back:</source>
        <translation>背景：</translation>
    </message>
    <message>
        <source>Change background image</source>
        <translation>更换背景图片</translation>
    </message>
    <message>
        <source>Clear background image</source>
        <translation>清除背景图片</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Projection:</source>
        <translation>投屏：</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Images (*.png *.xpm *.jpg)</source>
        <translation>图片 (*.png *.xpm *.jpg)</translation>
    </message>
    <message>
        <source>Do you confirm to clear background image?</source>
        <translation>是否确认清除背景图片？</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
</context>
<context>
    <name>CTabSettings</name>
    <message>
        <source>Video</source>
        <translation>视频</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>音频</translation>
    </message>
    <message>
        <source>MP4</source>
        <translation>MP4</translation>
    </message>
    <message>
        <source>Video Size:</source>
        <translation>视频尺寸：</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>帧率：</translation>
    </message>
    <message>
        <source>H.264 Encoder:</source>
        <translation>H.264 编码器：</translation>
    </message>
    <message>
        <source>Software</source>
        <translation>软件</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>硬件</translation>
    </message>
    <message>
        <source>H.264 Mode:</source>
        <translation>H.264 模式：</translation>
    </message>
    <message>
        <source>H.264 Profile:</source>
        <translation>H.264 档次：</translation>
    </message>
    <message>
        <source>H.264 Quality:</source>
        <translation>H.264 质量：</translation>
    </message>
    <message>
        <source>H.264 Bitrate:</source>
        <translation>H.264 码率：</translation>
    </message>
    <message>
        <source>Key Frame:</source>
        <translation>关键帧：</translation>
    </message>
    <message>
        <source>Audio Device:</source>
        <translation>音频设备：</translation>
    </message>
    <message>
        <source>(Not set device)</source>
        <translation>（未设置设备）</translation>
    </message>
    <message>
        <source>Audio Bitrate:</source>
        <translation>音频码率：</translation>
    </message>
    <message>
        <source>Encoder Quality:</source>
        <translation>编码质量：</translation>
    </message>
    <message>
        <source>Monitor audio device.</source>
        <translation>监听音频设备。</translation>
    </message>
    <message>
        <source>Record output to file.</source>
        <translation>将输出录制到文件。</translation>
    </message>
    <message>
        <source>Path:</source>
        <translation>路径：</translation>
    </message>
    <message>
        <source>Change storage path</source>
        <translation>更改存储路径</translation>
    </message>
    <message>
        <source>Storage</source>
        <translation>存储</translation>
    </message>
    <message>
        <source>* Disk free space: </source>
        <translation>* 磁盘剩余空间：</translation>
    </message>
    <message>
        <source>* Disk space is *.* GB.</source>
        <translation>* 磁盘空间为 *.* GB。</translation>
    </message>
    <message>
        <source>The chosen audio device is not available. No audio device is open.</source>
        <translation>所选的音频设备不可用。未打开任何音频设备。</translation>
    </message>
    <message>
        <source>Audio device &quot;%1&quot; is not available. No audio device is open.</source>
        <translation>音频设备“%1”不可用。未打开任何音频设备。</translation>
    </message>
    <message>
        <source>While streaming, a key frame comes at least every 2 seconds.</source>
        <translation>推流时，至少每 2 秒产生一个关键帧。</translation>
    </message>
</context>
<context>
    <name>CTabWnd</name>
    <message>
        <source>Device</source>
        <translation>设备</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>布局</translation>
    </message>
    <message>
        <source>Overlay</source>
        <translation>叠加</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>屏幕</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
</context>
<context>
    <name>CVideoWnd</name>
    <message>
        <source>Device being used</source>
        <translation>设备正被使用</translation>
    </message>
</context>
<context>
    <name>CVistrel</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>开始(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>停止(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;napshot</source>
        <translation>快照(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>退出(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>关于(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Fullscreen</source>
        <translation>全屏(&amp;F)</translation>
    </message>
    <message>
        <source>Record to a file or push video and audio streams</source>
        <translation>录制到文件或推送音视频流</translation>
    </message>
    <message>
        <source>Stop record and push streams</source>
        <translation>停止录制和推流</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>快照</translation>
    </message>
    <message>
        <source>Exit the application</source>
        <translation>退出应用程序</translation>
    </message>
    <message>
        <source>Show the application&apos;s About box</source>
        <translation>显示应用程序的“关于”对话框</translation>
    </message>
    <message>
        <source>Set output window to full screen</source>
        <translation>将输出窗口设为全屏</translation>
    </message>
    <message>
        <source>Do you confirm to close application</source>
        <translation>是否确认关闭应用程序</translation>
    </message>
    <message>
        <source> on recording</source>
        <translation>，当前正在录制</translation>
    </message>
    <message>
        <source> and streaming</source>
        <translation>并推流</translation>
    </message>
    <message>
        <source> on streaming</source>
        <translation>，当前正在推流</translation>
    </message>
    <message>
        <source>?</source>
        <translation>？</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Snapshot ok, make image file: </source>
        <translation>快照成功，生成图像文件：</translation>
    </message>
    <message>
        <source>.			</source>
        <translation>。			</translation>
    </message>
    <message>
        <source>Recording, writing file name</source>
        <translation>正在录制，写入文件名</translation>
    </message>
    <message>
        <source>file size</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>disk free space</source>
        <translation>磁盘剩余空间</translation>
    </message>
    <message>
        <source>Stop record, make video file: </source>
        <translation>已停止录制，生成视频文件：</translation>
    </message>
    <message>
        <source>, file size: </source>
        <translation>，文件大小：</translation>
    </message>
    <message>
        <source>.</source>
        <translation type="vanished">。</translation>
    </message>
    <message>
        <source>!!! Disk space is not enough !!!</source>
        <translation>!!! 磁盘空间不足 !!!</translation>
    </message>
    <message>
        <source>Disk space is not enough. 
Recording has been stopped.</source>
        <translation>磁盘空间不足。
录制已停止。</translation>
    </message>
    <message>
        <source>System performance is insufficient.Encoded video cannot be played normally.</source>
        <translation type="vanished">系统性能不足，编码后的视频无法正常播放。</translation>
    </message>
    <message>
        <source>Bitrate</source>
        <translation>码率</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>RTMP publishing</source>
        <translation>RTMP 推流中</translation>
    </message>
    <message>
        <source>File does not exist</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>Encode fail ! Recording/streaming has been stopped !
</source>
        <translation>编码失败！录制/推流已停止！
</translation>
    </message>
    <message>
        <source>Write file fail ! Recording has been stopped !
</source>
        <translation>写文件失败！录制已停止！
</translation>
    </message>
    <message>
        <source>RTMP IP address is invalid!</source>
        <translation>RTMP IP 地址无效！</translation>
    </message>
    <message>
        <source>RTMP port is invalid!</source>
        <translation>RTMP 端口无效！</translation>
    </message>
    <message>
        <source>RTMP stream name is invalid!
Only letter, number, &apos;-&apos; and &apos;_&apos; are supported!</source>
        <translation>RTMP 流名称无效！
仅支持字母、数字、“-”和“_”！</translation>
    </message>
    <message>
        <source>KVPlayer is not exist</source>
        <translation type="vanished">KVPlayer 不存在</translation>
    </message>
    <message>
        <source>Ostrana Technology Co., Ltd.</source>
        <translation>Ostrana 科技有限公司</translation>
    </message>
    <message>
        <source>Copyright (C) Ostrana Technology Co., Ltd. All rights reserved.</source>
        <translation>版权所有 (C) Ostrana 科技有限公司。保留所有权利。</translation>
    </message>
    <message>
        <source>RTMP connecting</source>
        <translation>RTMP 正在连接</translation>
    </message>
    <message>
        <source>RTMP reconnecting (attempt %1)</source>
        <translation>RTMP 正在重新连接（第 %1 次）</translation>
    </message>
    <message>
        <source>RTMP failed</source>
        <translation>RTMP 推流失败</translation>
    </message>
    <message>
        <source>Snapshot failed, cannot write image file: %1</source>
        <translation>快照失败，无法写入图像文件：%1</translation>
    </message>
    <message>
        <source>System performance is insufficient. Encoded video cannot be played normally.</source>
        <translation>系统性能不足，编码后的视频无法正常播放。</translation>
    </message>
    <message>
        <source>RTMP failed: %1</source>
        <translation>RTMP 失败：%1</translation>
    </message>
    <message>
        <source>RTMP stalled</source>
        <translation>RTMP 推流停滞</translation>
    </message>
    <message>
        <source>%1 publishing</source>
        <translation>%1 个推流中</translation>
    </message>
    <message>
        <source>%1 connecting</source>
        <translation>%1 个连接中</translation>
    </message>
    <message>
        <source>%1 reconnecting (attempt %2)</source>
        <translation>%1 个重连中（第 %2 次）</translation>
    </message>
    <message>
        <source>%1 stalled</source>
        <translation>%1 个停滞</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 个失败</translation>
    </message>
    <message>
        <source>Streams: %1</source>
        <translation>推流：%1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>The last run ended in a crash. Its report is %1</source>
        <translation>上次运行因崩溃而结束。崩溃报告：%1</translation>
    </message>
    <message>
        <source>Stop record. The video file %1 is no longer in %2, where it was written.</source>
        <translation>已停止录制。视频文件 %1 已不在写入时所在的 %2 中。</translation>
    </message>
    <message>
        <source>The server URL must begin with rtmp://, rtmps:// or srt://.</source>
        <translation>服务器 URL 必须以 rtmp://、rtmps:// 或 srt:// 开头。</translation>
    </message>
    <message>
        <source>The server URL is invalid.</source>
        <translation>服务器 URL 无效。</translation>
    </message>
    <message>
        <source>The stream key cannot contain spaces or &apos;,&apos;.</source>
        <translation>串流密钥不能包含空格或“,”。</translation>
    </message>
    <message>
        <source>An SRT server URL needs a port, as in srt://host:port.</source>
        <translation>SRT 服务器 URL 需要端口，例如 srt://host:port。</translation>
    </message>
    <message>
        <source>The SRT passphrase must be 10 to 79 characters, without spaces, &apos;&amp;&apos;, &apos;#&apos; or &apos;,&apos;.</source>
        <translation>SRT 密码必须为 10 到 79 个字符，且不含空格、“&amp;”、“#”或“,”。</translation>
    </message>
    <message>
        <source>The server URL needs an application, as in rtmp://host/app.</source>
        <translation>服务器 URL 需要应用名，例如 rtmp://host/app。</translation>
    </message>
    <message>
        <source>The stream key is empty.</source>
        <translation>串流密钥为空。</translation>
    </message>
    <message>
        <source>Stream %1</source>
        <translation>推流 %1</translation>
    </message>
    <message>
        <source>S&amp;tudio</source>
        <translation>导播(&amp;T)</translation>
    </message>
</context>
<context>
    <name>KVPropertyDialog</name>
    <message>
        <source>Brightness:</source>
        <translation>亮度：</translation>
    </message>
    <message>
        <source>Contrast:</source>
        <translation>对比度：</translation>
    </message>
    <message>
        <source>Hue:</source>
        <translation>色调：</translation>
    </message>
    <message>
        <source>Saturation:</source>
        <translation>饱和度：</translation>
    </message>
    <message>
        <source>Device Properties</source>
        <translation>设备属性</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>默认</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>OptionTables</name>
    <message>
        <source>High Profile</source>
        <translation>高档次</translation>
    </message>
    <message>
        <source>Main Profile</source>
        <translation>主档次</translation>
    </message>
    <message>
        <source>Base Line</source>
        <translation>基本档次</translation>
    </message>
    <message>
        <source>High Quality</source>
        <translation>高质量</translation>
    </message>
    <message>
        <source>Balanced</source>
        <translation>均衡</translation>
    </message>
    <message>
        <source>Best Speed</source>
        <translation>最快速度</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>普通</translation>
    </message>
    <message>
        <source>Low Latency</source>
        <translation>低延迟</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>帧/秒</translation>
    </message>
    <message>
        <source>Kbps</source>
        <translation>Kbps</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Ostrana Vistrel</source>
        <translation>Ostrana Vistrel 视频导播</translation>
    </message>
    <message>
        <source>Cannot find device or devices is not supported.</source>
        <translation>未找到设备，或设备不受支持。</translation>
    </message>
    <message>
        <source>Failed to load configuration file.</source>
        <translation>加载配置文件失败。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>V2.1</source>
        <translation>V2.1</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
</context>
</TS>
