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
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>yyyy.MM.dd hh.mm.ss</source>
        <translation>yyyy.MM.dd hh.mm.ss</translation>
    </message>
    <message>
        <source>.mp4</source>
        <translation>.mp4</translation>
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
    <name>CTabPreview</name>
    <message>
        <source>(Not set position)</source>
        <translation>（未设置位置）</translation>
    </message>
    <message>
        <source>Position %1</source>
        <translation>位置 %1</translation>
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
        <translation>。</translation>
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
        <translation>系统性能不足，编码后的视频无法正常播放。</translation>
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
        <source>Disk space is not enough to complete mp4 file.
Delete some other files and retry?
</source>
        <translation>磁盘空间不足，无法完成 MP4 文件。
删除其他一些文件后重试吗？
</translation>
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
        <translation>KVPlayer 不存在</translation>
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
</context>
</TS>
