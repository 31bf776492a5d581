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
    <name>CDeviceDlg</name>
    <message>
        <source>Video Option</source>
        <translation>視訊選項</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>進階</translation>
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
        <translation type="vanished">色差端子</translation>
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
        <translation type="vanished">第二組色差端子</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>裝置</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名稱：</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>裝置：</translation>
    </message>
    <message>
        <source>Position:</source>
        <translation>位置：</translation>
    </message>
    <message>
        <source>(Not set device)</source>
        <translation>（未設定裝置）</translation>
    </message>
    <message>
        <source>(Not set position)</source>
        <translation>（未設定位置）</translation>
    </message>
    <message>
        <source>Position</source>
        <translation type="vanished">位置</translation>
    </message>
    <message>
        <source>Video Params</source>
        <translation>視訊參數</translation>
    </message>
    <message>
        <source>Contract:</source>
        <translation type="vanished">對比：</translation>
    </message>
    <message>
        <source>Brightness:</source>
        <translation>亮度：</translation>
    </message>
    <message>
        <source>Hue:</source>
        <translation>色調：</translation>
    </message>
    <message>
        <source>Saturation:</source>
        <translation>飽和度：</translation>
    </message>
    <message>
        <source>No signal</source>
        <translation>無訊號</translation>
    </message>
    <message>
        <source>Capture signal status</source>
        <translation>擷取訊號狀態</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>幀/秒</translation>
    </message>
    <message>
        <source>Contrast:</source>
        <translation>對比：</translation>
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
        <translation>檔案路徑超過 %1 個字元。</translation>
    </message>
    <message>
        <source>The computer has run out of memory.</source>
        <translation>電腦記憶體不足。</translation>
    </message>
    <message>
        <source>The video encoder does not accept these settings: %1.</source>
        <translation>視訊編碼器不接受這些設定：%1。</translation>
    </message>
    <message>
        <source>No video encoder is installed.</source>
        <translation>未安裝視訊編碼器。</translation>
    </message>
    <message>
        <source>The video encoder could not be started.</source>
        <translation>無法啟動視訊編碼器。</translation>
    </message>
    <message>
        <source>The audio encoder does not accept these settings: %1.</source>
        <translation>音訊編碼器不接受這些設定：%1。</translation>
    </message>
    <message>
        <source>No audio encoder is installed.</source>
        <translation>未安裝音訊編碼器。</translation>
    </message>
    <message>
        <source>The audio encoder could not be started.</source>
        <translation>無法啟動音訊編碼器。</translation>
    </message>
    <message>
        <source>The folder %1 may not be written to.</source>
        <translation>沒有寫入資料夾 %1 的權限。</translation>
    </message>
    <message>
        <source>The folder %1 does not exist.</source>
        <translation>資料夾 %1 不存在。</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>磁碟已滿。</translation>
    </message>
    <message>
        <source>The file %1 could not be created: %2.</source>
        <translation>無法建立檔案 %1：%2。</translation>
    </message>
    <message>
        <source>The file %1 could not be created.</source>
        <translation>無法建立檔案 %1。</translation>
    </message>
    <message>
        <source>The address %1 is not a valid RTMP address.</source>
        <translation>位址 %1 不是有效的 RTMP 位址。</translation>
    </message>
    <message>
        <source>The server name %1 is not known.</source>
        <translation>無法識別伺服器名稱 %1。</translation>
    </message>
    <message>
        <source>The server refused the connection: nothing is listening on that port.</source>
        <translation>伺服器拒絕了連線：該連接埠上沒有服務在監聽。</translation>
    </message>
    <message>
        <source>The server did not answer in time.</source>
        <translation>伺服器未能及時回應。</translation>
    </message>
    <message>
        <source>The server answered, but it is not an RTMP server.</source>
        <translation>伺服器有回應，但它不是 RTMP 伺服器。</translation>
    </message>
    <message>
        <source>The network failed: %1.</source>
        <translation>網路故障：%1。</translation>
    </message>
    <message>
        <source>The server could not be reached.</source>
        <translation>無法連線到伺服器。</translation>
    </message>
    <message>
        <source>The server&apos;s certificate is not trusted: it is not signed by a known certificate authority, or it was made for another server.</source>
        <translation>伺服器的憑證不受信任：它不是由已知的憑證授權單位簽發的，或者它是為另一台伺服器簽發的。</translation>
    </message>
    <message>
        <source>The server answered, but not with an encrypted (TLS) connection. Check the port, or use rtmp:// instead of rtmps://.</source>
        <translation>伺服器有回應，但不是加密（TLS）連線。請檢查連接埠，或改用 rtmp:// 而非 rtmps://。</translation>
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
        <translation>磁碟空間不足，無法完成 MP4 檔案。
刪除其他檔案後重試嗎？
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
        <translation>資料夾無法寫入：
%1
請重新設定儲存路徑！</translation>
    </message>
    <message>
        <source>Folder cannot be written:
%1
Recording has been stopped.</source>
        <translation>資料夾無法寫入：
%1
錄製已停止。</translation>
    </message>
    <message>
        <source>Folder is gone:
%1
Recording has been stopped.</source>
        <translation>資料夾已不存在：
%1
錄製已停止。</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>預覽</translation>
    </message>
    <message>
        <source>Program</source>
        <translation>節目</translation>
    </message>
    <message>
        <source>Studio mode</source>
        <translation>導播模式</translation>
    </message>
    <message>
        <source>Prepare the next shot in Preview, then take it</source>
        <translation>在預覽中準備下一個畫面，然後切換上線</translation>
    </message>
    <message>
        <source>Cut</source>
        <translation>硬切</translation>
    </message>
    <message>
        <source>Put Preview on air at once</source>
        <translation>立即將預覽切換上線</translation>
    </message>
    <message>
        <source>Take</source>
        <translation>切換</translation>
    </message>
    <message>
        <source>Put Preview on air with the transition</source>
        <translation>以所選轉場將預覽切換上線</translation>
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
        <translation>視訊 %1</translation>
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
        <translation>推流目標：</translation>
    </message>
    <message>
        <source>Push stream to RTMP server.</source>
        <translation>推送串流到 RTMP 伺服器。</translation>
    </message>
    <message>
        <source>Test Connect</source>
        <translation>測試連線</translation>
    </message>
    <message>
        <source>Tests every destination that is switched on</source>
        <translation>測試每個已開啟的推流目標</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名稱：</translation>
    </message>
    <message>
        <source>An IP address, or the server URL a platform gives (rtmp://, rtmps:// or srt://)</source>
        <translation>IP 位址，或平台提供的伺服器 URL（rtmp://、rtmps:// 或 srt://）</translation>
    </message>
    <message>
        <source>IP Address:</source>
        <translation>IP 位址：</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>連接埠：</translation>
    </message>
    <message>
        <source>The stream name, or the stream key a platform gives</source>
        <translation>串流名稱，或平台提供的串流金鑰</translation>
    </message>
    <message>
        <source>Stream Name:</source>
        <translation>串流名稱：</translation>
    </message>
    <message>
        <source>Show the stream key</source>
        <translation>顯示串流金鑰</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>SRT latency (ms):</source>
        <translation>SRT 延遲（毫秒）：</translation>
    </message>
    <message>
        <source>SRT passphrase:</source>
        <translation>SRT 密碼：</translation>
    </message>
    <message>
        <source>Complete URL:</source>
        <translation>完整網址：</translation>
    </message>
    <message>
        <source>The system&apos;s certificates</source>
        <translation>系統憑證</translation>
    </message>
    <message>
        <source>A PEM file of further certificate authorities for rtmps servers</source>
        <translation>用於 rtmps 伺服器的附加憑證授權單位 PEM 檔案</translation>
    </message>
    <message>
        <source>CA certificates:</source>
        <translation>CA 憑證：</translation>
    </message>
    <message>
        <source>Choose a certificate file</source>
        <translation>選擇憑證檔案</translation>
    </message>
    <message>
        <source>%1 (on)</source>
        <translation>%1（開）</translation>
    </message>
    <message>
        <source>%1 (off)</source>
        <translation>%1（關）</translation>
    </message>
    <message>
        <source>Hide the stream key</source>
        <translation>隱藏串流金鑰</translation>
    </message>
    <message>
        <source>Test successful!</source>
        <translation>測試成功！</translation>
    </message>
    <message>
        <source>Test fail!</source>
        <translation>測試失敗！</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>Certificate authorities</source>
        <translation>憑證授權單位</translation>
    </message>
    <message>
        <source>Certificates (*.pem *.crt);;All files (*)</source>
        <translation>憑證 (*.pem *.crt);;所有檔案 (*)</translation>
    </message>
</context>
<context>
    <name>CStudioMenu</name>
    <message>
        <source>Studio &amp;mode</source>
        <translation>導播模式(&amp;M)</translation>
    </message>
    <message>
        <source>Prepare the next shot in Preview, then take it</source>
        <translation>在預覽中準備下一個畫面，然後切換上線</translation>
    </message>
    <message>
        <source>&amp;Take</source>
        <translation>切換(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Cut</source>
        <translation>硬切(&amp;C)</translation>
    </message>
    <message>
        <source>Camera %1 to Preview</source>
        <translation>攝影機 %1 到預覽</translation>
    </message>
    <message>
        <source>Camera %1 on air</source>
        <translation>攝影機 %1 上線</translation>
    </message>
</context>
<context>
    <name>CTabLayout</name>
    <message>
        <source>Single</source>
        <translation>單畫面</translation>
    </message>
    <message>
        <source>Picture in Picture (Bottom Right)</source>
        <translation>子母畫面（右下）</translation>
    </message>
    <message>
        <source>Picture in Picture (Top Left)</source>
        <translation>子母畫面（左上）</translation>
    </message>
    <message>
        <source>One Above Two</source>
        <translation>上一下二</translation>
    </message>
    <message>
        <source>Side by Side</source>
        <translation>左右並排</translation>
    </message>
    <message>
        <source>Quad</source>
        <translation>四分割</translation>
    </message>
    <message>
        <source>One Large, Five Small</source>
        <translation>一大五小</translation>
    </message>
    <message>
        <source>Six Grid</source>
        <translation>六宮格</translation>
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
        <translation>三畫面橫排</translation>
    </message>
</context>
<context>
    <name>CTabOverlay</name>
    <message>
        <source>Logo</source>
        <translation>台標</translation>
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
        <translation>樣式：</translation>
    </message>
    <message>
        <source>Under line</source>
        <translation>底線</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>粗體</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>斜體</translation>
    </message>
    <message>
        <source>Text color:</source>
        <translation>文字顏色：</translation>
    </message>
    <message>
        <source>Border color:</source>
        <translation>描邊顏色：</translation>
    </message>
    <message>
        <source>Border:</source>
        <translation>描邊：</translation>
    </message>
    <message>
        <source>Text font:</source>
        <translation>字型：</translation>
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
        <translation>時間</translation>
    </message>
    <message>
        <source>Show Time</source>
        <translation>顯示時間</translation>
    </message>
    <message>
        <source>(%1, %2, %3)</source>
        <translation>(%1, %2, %3)</translation>
    </message>
    <message>
        <source>The logo &quot;%1&quot; cannot be shown: it is larger than %2 pixels on a side.</source>
        <translation>無法顯示台標「%1」：其邊長超過 %2 像素。</translation>
    </message>
    <message>
        <source>The logo &quot;%1&quot; cannot be shown: the file is missing or is not a readable picture.</source>
        <translation>無法顯示台標「%1」：檔案不存在或不是可讀取的圖片。</translation>
    </message>
    <message>
        <source>Vistrel Circle</source>
        <translation>Vistrel 圓形</translation>
    </message>
    <message>
        <source>Vistrel Hexagon</source>
        <translation>Vistrel 六邊形</translation>
    </message>
    <message>
        <source>Live Badge</source>
        <translation>直播標誌</translation>
    </message>
    <message>
        <source>Vistrel Wordmark</source>
        <translation>Vistrel 字標</translation>
    </message>
    <message>
        <source>Logo %1 is not in the layout file.</source>
        <translation>版面配置檔中沒有台標 %1。</translation>
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
    <message>
        <source>Device properties are not available yet</source>
        <translation type="vanished">裝置屬性暫不可用</translation>
    </message>
    <message>
        <source>No picture: the device could not be opened</source>
        <translation>無畫面：無法開啟裝置</translation>
    </message>
    <message>
        <source>No picture: the device does not support this size</source>
        <translation>無畫面：裝置不支援此尺寸</translation>
    </message>
    <message>
        <source>Not shown in the output</source>
        <translation>未在輸出中顯示</translation>
    </message>
    <message>
        <source>Video Option</source>
        <translation>視訊選項</translation>
    </message>
    <message>
        <source>No signal</source>
        <translation>無訊號</translation>
    </message>
    <message>
        <source>The camera of Video %1 is unplugged: no signal.</source>
        <translation>視訊 %1 的攝影機已拔除：無訊號。</translation>
    </message>
    <message>
        <source>The camera &quot;%1&quot; (Video %2) is unplugged: no signal.</source>
        <translation>攝影機「%1」（視訊 %2）已拔除：無訊號。</translation>
    </message>
</context>
<context>
    <name>CTabScreen</name>
    <message>
        <source>Screen</source>
        <translation>螢幕</translation>
    </message>
    <message>
        <source>Enable screen output</source>
        <translation>啟用螢幕輸出</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>預覽</translation>
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
        <translation>寬：</translation>
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
        <translation>更換背景圖片</translation>
    </message>
    <message>
        <source>Clear background image</source>
        <translation>清除背景圖片</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Projection:</source>
        <translation>投影：</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>開啟檔案</translation>
    </message>
    <message>
        <source>Images (*.png *.xpm *.jpg)</source>
        <translation>圖片 (*.png *.xpm *.jpg)</translation>
    </message>
    <message>
        <source>Do you confirm to clear background image?</source>
        <translation>是否確定清除背景圖片？</translation>
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
        <translation>視訊</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>音訊</translation>
    </message>
    <message>
        <source>MP4</source>
        <translation>MP4</translation>
    </message>
    <message>
        <source>Video Size:</source>
        <translation>視訊尺寸：</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>影格率：</translation>
    </message>
    <message>
        <source>H.264 Encoder:</source>
        <translation>H.264 編碼器：</translation>
    </message>
    <message>
        <source>Software</source>
        <translation>軟體</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>硬體</translation>
    </message>
    <message>
        <source>H.264 Mode:</source>
        <translation>H.264 模式：</translation>
    </message>
    <message>
        <source>H.264 Profile:</source>
        <translation>H.264 設定檔：</translation>
    </message>
    <message>
        <source>H.264 Quality:</source>
        <translation>H.264 品質：</translation>
    </message>
    <message>
        <source>H.264 Bitrate:</source>
        <translation>H.264 位元率：</translation>
    </message>
    <message>
        <source>Key Frame:</source>
        <translation>關鍵影格：</translation>
    </message>
    <message>
        <source>Audio Device:</source>
        <translation>音訊裝置：</translation>
    </message>
    <message>
        <source>(Not set device)</source>
        <translation>（未設定裝置）</translation>
    </message>
    <message>
        <source>Audio Bitrate:</source>
        <translation>音訊位元率：</translation>
    </message>
    <message>
        <source>Encoder Quality:</source>
        <translation>編碼品質：</translation>
    </message>
    <message>
        <source>Monitor audio device.</source>
        <translation>監聽音訊裝置。</translation>
    </message>
    <message>
        <source>Record output to file.</source>
        <translation>將輸出錄製到檔案。</translation>
    </message>
    <message>
        <source>Path:</source>
        <translation>路徑：</translation>
    </message>
    <message>
        <source>Change storage path</source>
        <translation>變更儲存路徑</translation>
    </message>
    <message>
        <source>Storage</source>
        <translation>儲存</translation>
    </message>
    <message>
        <source>* Disk free space: </source>
        <translation>* 磁碟剩餘空間：</translation>
    </message>
    <message>
        <source>* Disk space is *.* GB.</source>
        <translation>* 磁碟空間為 *.* GB。</translation>
    </message>
    <message>
        <source>The chosen audio device is not available. No audio device is open.</source>
        <translation>所選的音訊裝置無法使用。未開啟任何音訊裝置。</translation>
    </message>
    <message>
        <source>Audio device &quot;%1&quot; is not available. No audio device is open.</source>
        <translation>音訊裝置「%1」無法使用。未開啟任何音訊裝置。</translation>
    </message>
    <message>
        <source>While streaming, a key frame comes at least every 2 seconds.</source>
        <translation>串流時，至少每 2 秒產生一個關鍵影格。</translation>
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
        <translation type="vanished">。</translation>
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
        <translation type="vanished">系統效能不足，編碼後的視訊無法正常播放。</translation>
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
        <translation type="vanished">KVPlayer 不存在</translation>
    </message>
    <message>
        <source>Ostrana Technology Co., Ltd.</source>
        <translation>Ostrana 科技有限公司</translation>
    </message>
    <message>
        <source>Copyright (C) Ostrana Technology Co., Ltd. All rights reserved.</source>
        <translation>版權所有 (C) Ostrana 科技有限公司。保留所有權利。</translation>
    </message>
    <message>
        <source>RTMP connecting</source>
        <translation>RTMP 正在連線</translation>
    </message>
    <message>
        <source>RTMP reconnecting (attempt %1)</source>
        <translation>RTMP 正在重新連線（第 %1 次）</translation>
    </message>
    <message>
        <source>RTMP failed</source>
        <translation>RTMP 串流發布失敗</translation>
    </message>
    <message>
        <source>Snapshot failed, cannot write image file: %1</source>
        <translation>快照失敗，無法寫入影像檔案：%1</translation>
    </message>
    <message>
        <source>System performance is insufficient. Encoded video cannot be played normally.</source>
        <translation>系統效能不足，編碼後的視訊無法正常播放。</translation>
    </message>
    <message>
        <source>RTMP failed: %1</source>
        <translation>RTMP 失敗：%1</translation>
    </message>
    <message>
        <source>RTMP stalled</source>
        <translation>RTMP 串流發布停滯</translation>
    </message>
    <message>
        <source>%1 publishing</source>
        <translation>%1 個推流中</translation>
    </message>
    <message>
        <source>%1 connecting</source>
        <translation>%1 個連線中</translation>
    </message>
    <message>
        <source>%1 reconnecting (attempt %2)</source>
        <translation>%1 個重新連線中（第 %2 次）</translation>
    </message>
    <message>
        <source>%1 stalled</source>
        <translation>%1 個停滯</translation>
    </message>
    <message>
        <source>%1 failed</source>
        <translation>%1 個失敗</translation>
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
        <translation>上次執行因當機而結束。當機報告：%1</translation>
    </message>
    <message>
        <source>Stop record. The video file %1 is no longer in %2, where it was written.</source>
        <translation>已停止錄製。視訊檔案 %1 已不在寫入時所在的 %2 中。</translation>
    </message>
    <message>
        <source>The server URL must begin with rtmp://, rtmps:// or srt://.</source>
        <translation>伺服器 URL 必須以 rtmp://、rtmps:// 或 srt:// 開頭。</translation>
    </message>
    <message>
        <source>The server URL is invalid.</source>
        <translation>伺服器 URL 無效。</translation>
    </message>
    <message>
        <source>The stream key cannot contain spaces or &apos;,&apos;.</source>
        <translation>串流金鑰不能包含空格或「,」。</translation>
    </message>
    <message>
        <source>An SRT server URL needs a port, as in srt://host:port.</source>
        <translation>SRT 伺服器 URL 需要連接埠，例如 srt://host:port。</translation>
    </message>
    <message>
        <source>The SRT passphrase must be 10 to 79 characters, without spaces, &apos;&amp;&apos;, &apos;#&apos; or &apos;,&apos;.</source>
        <translation>SRT 密碼必須為 10 到 79 個字元，且不含空格、「&amp;」、「#」或「,」。</translation>
    </message>
    <message>
        <source>The server URL needs an application, as in rtmp://host/app.</source>
        <translation>伺服器 URL 需要應用程式名稱，例如 rtmp://host/app。</translation>
    </message>
    <message>
        <source>The stream key is empty.</source>
        <translation>串流金鑰為空。</translation>
    </message>
    <message>
        <source>Stream %1</source>
        <translation>推流 %1</translation>
    </message>
    <message>
        <source>S&amp;tudio</source>
        <translation>導播(&amp;T)</translation>
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
        <translation>對比：</translation>
    </message>
    <message>
        <source>Hue:</source>
        <translation>色調：</translation>
    </message>
    <message>
        <source>Saturation:</source>
        <translation>飽和度：</translation>
    </message>
    <message>
        <source>Device Properties</source>
        <translation>裝置屬性</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>預設</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>關閉</translation>
    </message>
</context>
<context>
    <name>OptionTables</name>
    <message>
        <source>High Profile</source>
        <translation>高階設定檔</translation>
    </message>
    <message>
        <source>Main Profile</source>
        <translation>主要設定檔</translation>
    </message>
    <message>
        <source>Base Line</source>
        <translation>基本設定檔</translation>
    </message>
    <message>
        <source>High Quality</source>
        <translation>高品質</translation>
    </message>
    <message>
        <source>Balanced</source>
        <translation>平衡</translation>
    </message>
    <message>
        <source>Best Speed</source>
        <translation>最快速度</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>一般</translation>
    </message>
    <message>
        <source>Low Latency</source>
        <translation>低延遲</translation>
    </message>
    <message>
        <source>FPS</source>
        <translation>幀/秒</translation>
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
