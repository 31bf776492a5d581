<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW" sourcelanguage="en">
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
        <translation>輸出</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>幀/秒</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
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
        <translation>全螢幕</translation>
    </message>
    <message>
        <source>Start record or push streams</source>
        <translation>開始錄製或推送串流</translation>
    </message>
    <message>
        <source>Stop record or push streams</source>
        <translation>停止錄製或推送串流</translation>
    </message>
    <message>
        <source>Create snapshot</source>
        <translation>建立快照</translation>
    </message>
    <message>
        <source>Show fullscreen</source>
        <translation>全螢幕顯示</translation>
    </message>
    <message>
        <source>Folder not exists.
Please reset saving path!</source>
        <translation>資料夾不存在。
請重新設定儲存路徑！</translation>
    </message>
    <message>
        <source>Disk space is not enough.</source>
        <translation>磁碟空間不足。</translation>
    </message>
    <message>
        <source>Start error!</source>
        <translation>啟動失敗！</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
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
        <translation>視訊 %1</translation>
    </message>
</context>
<context>
    <name>CTabPreview</name>
    <message>
        <source>(Not set position)</source>
        <translation>（未設定位置）</translation>
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
        <translation>裝置</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>版面配置</translation>
    </message>
    <message>
        <source>Overlay</source>
        <translation>疊加</translation>
    </message>
    <message>
        <source>Screen</source>
        <translation>螢幕</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
</context>
<context>
    <name>CVideoWnd</name>
    <message>
        <source>Device being used</source>
        <translation>裝置正在使用中</translation>
    </message>
</context>
<context>
    <name>CVistrel</name>
    <message>
        <source>&amp;File</source>
        <translation>檔案(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>說明(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>開始(&amp;S)</translation>
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
        <translation>結束(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>關於(&amp;A)...</translation>
    </message>
    <message>
        <source>&amp;Fullscreen</source>
        <translation>全螢幕(&amp;F)</translation>
    </message>
    <message>
        <source>Record to a file or push video and audio streams</source>
        <translation>錄製到檔案或推送影音串流</translation>
    </message>
    <message>
        <source>Stop record and push streams</source>
        <translation>停止錄製及推送串流</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>快照</translation>
    </message>
    <message>
        <source>Exit the application</source>
        <translation>結束應用程式</translation>
    </message>
    <message>
        <source>Show the application&apos;s About box</source>
        <translation>顯示應用程式的「關於」對話方塊</translation>
    </message>
    <message>
        <source>Set output window to full screen</source>
        <translation>將輸出視窗設為全螢幕</translation>
    </message>
    <message>
        <source>Do you confirm to close application</source>
        <translation>是否確定關閉應用程式</translation>
    </message>
    <message>
        <source> on recording</source>
        <translation>，目前正在錄製</translation>
    </message>
    <message>
        <source> and streaming</source>
        <translation>並推送串流</translation>
    </message>
    <message>
        <source> on streaming</source>
        <translation>，目前正在推送串流</translation>
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
        <translation>確定</translation>
    </message>
    <message>
        <source>About</source>
        <translation>關於</translation>
    </message>
    <message>
        <source>Snapshot ok, make image file: </source>
        <translation>快照成功，產生影像檔案：</translation>
    </message>
    <message>
        <source>.			</source>
        <translation>。			</translation>
    </message>
    <message>
        <source>Recording, writing file name</source>
        <translation>正在錄製，寫入檔案名稱</translation>
    </message>
    <message>
        <source>file size</source>
        <translation>檔案大小</translation>
    </message>
    <message>
        <source>disk free space</source>
        <translation>磁碟剩餘空間</translation>
    </message>
    <message>
        <source>Stop record, make video file: </source>
        <translation>已停止錄製，產生視訊檔案：</translation>
    </message>
    <message>
        <source>, file size: </source>
        <translation>，檔案大小：</translation>
    </message>
    <message>
        <source>.</source>
        <translation>。</translation>
    </message>
    <message>
        <source>!!! Disk space is not enough !!!</source>
        <translation>!!! 磁碟空間不足 !!!</translation>
    </message>
    <message>
        <source>Disk space is not enough. 
Recording has been stopped.</source>
        <translation>磁碟空間不足。
錄製已停止。</translation>
    </message>
    <message>
        <source>System performance is insufficient.Encoded video cannot be played normally.</source>
        <translation>系統效能不足，編碼後的視訊無法正常播放。</translation>
    </message>
    <message>
        <source>Bitrate</source>
        <translation>位元率</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>開啟檔案</translation>
    </message>
    <message>
        <source>RTMP publishing</source>
        <translation>RTMP 串流發布中</translation>
    </message>
    <message>
        <source>File does not exist</source>
        <translation>檔案不存在</translation>
    </message>
    <message>
        <source>Disk space is not enough to complete mp4 file.
Delete some other files and retry?
</source>
        <translation>磁碟空間不足，無法完成 MP4 檔案。
刪除其他檔案後重試嗎？
</translation>
    </message>
    <message>
        <source>Encode fail ! Recording/streaming has been stopped !
</source>
        <translation>編碼失敗！錄製/串流已停止！
</translation>
    </message>
    <message>
        <source>Write file fail ! Recording has been stopped !
</source>
        <translation>寫入檔案失敗！錄製已停止！
</translation>
    </message>
    <message>
        <source>RTMP IP address is invalid!</source>
        <translation>RTMP IP 位址無效！</translation>
    </message>
    <message>
        <source>RTMP port is invalid!</source>
        <translation>RTMP 連接埠無效！</translation>
    </message>
    <message>
        <source>RTMP stream name is invalid!
Only letter, number, &apos;-&apos; and &apos;_&apos; are supported!</source>
        <translation>RTMP 串流名稱無效！
僅支援字母、數字、「-」和「_」！</translation>
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
        <translation>Ostrana Vistrel 視訊導播</translation>
    </message>
    <message>
        <source>Cannot find device or devices is not supported.</source>
        <translation>找不到裝置，或裝置不受支援。</translation>
    </message>
    <message>
        <source>Failed to load configuration file.</source>
        <translation>載入設定檔失敗。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
</context>
</TS>
