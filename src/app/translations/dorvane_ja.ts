<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CAboutDialog</name>
    <message>
        <source>About this application</source>
        <translation>このアプリケーションについて</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Visual-spatial memory test
Dorvane developers, 2026</source>
        <translation>視空間ワーキングメモリ検査
Dorvane 開発者, 2026</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>終了(&amp;X)</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>テスト(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Start Test</source>
        <translation>テスト開始(&amp;S)</translation>
    </message>
    <message>
        <source>結果を見る(&amp;R)</source>
        <translation>結果を見る(&amp;R)</translation>
    </message>
    <message>
        <source>S&amp;essions…</source>
        <translation>セッション(&amp;E)…</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>バージョン情報(&amp;A)</translation>
    </message>
    <message>
        <source>Timing Check…</source>
        <translation>タイミングチェック…</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>言語 (Language)</translation>
    </message>
    <message>
        <source>Click or touch inside the square to start a test.</source>
        <translation>四角の中をクリックまたはタッチするとテストが始まります。</translation>
    </message>
    <message>
        <source>&amp;Practice…</source>
        <translation>練習(&amp;P)…</translation>
    </message>
    <message>
        <source>Partic&amp;ipants…</source>
        <translation>参加者(&amp;I)…</translation>
    </message>
</context>
<context>
    <name>CMyApp</name>
    <message>
        <source>The stimulus [%1] was not read: it %2. A built-in image is shown instead.</source>
        <translation>刺激ファイル [%1] は読み込まれませんでした（%2）。代わりに組み込みの画像を表示します。</translation>
    </message>
    <message>
        <source>The settings could not be saved to [%1] (%2).
These settings were not kept; the next session starts without them:</source>
        <translation>設定を [%1] に保存できませんでした（%2）。
次の設定は保存されず、次回のセッションには反映されません:</translation>
    </message>
    <message>
        <source>The stimulus folder [%1] has no usable %2.</source>
        <translation>刺激フォルダー [%1] に使用できる %2 がありません。</translation>
    </message>
    <message>
        <source>The stimulus folder [%1] is missing or cannot be read.</source>
        <translation>刺激フォルダー [%1] がないか、読み込めません。</translation>
    </message>
    <message>
        <source>Tests still run, with white discs as covers, the title instead of the opening picture and no sound where one is missing; the session records say which stimuli were used.</source>
        <translation>テストは実行できます。覆いには白い円、開始画像の代わりにタイトルを表示し、見つからない音は鳴りません。どの刺激を使ったかはセッション記録に残ります。</translation>
    </message>
    <message>
        <source>The settings file [%1] was not read: it %2. The settings start from their defaults and are not saved to it.</source>
        <translation>設定ファイル [%1] は読み込まれませんでした（%2）。設定は既定値から始まり、このファイルには保存されません。</translation>
    </message>
</context>
<context>
    <name>COption</name>
    <message>
        <source>Option</source>
        <translation>オプション</translation>
    </message>
    <message>
        <source>Hide Mouse Cursor</source>
        <translation>マウスカーソルを隠す</translation>
    </message>
</context>
<context>
    <name>CResult</name>
    <message>
        <source>Results</source>
        <translation>結果</translation>
    </message>
    <message>
        <source>Result: </source>
        <translation>結果: </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The results log [ORBEL.txt] was not read: it %1.</source>
        <translation>結果ログ [ORBEL.txt] は読み込まれませんでした（%1）。</translation>
    </message>
    <message>
        <source>The log [%1] holds no result to rank yet.</source>
        <translation>ログ [%1] には、まだ順位を付ける結果がありません。</translation>
    </message>
    <message>
        <source>There is no log [ORBEL.txt] in the folder [%1]: no test has been completed here yet.</source>
        <translation>フォルダー [%1] にログ [ORBEL.txt] がありません。ここではまだテストが完了していません。</translation>
    </message>
</context>
<context>
    <name>CSetupDialog</name>
    <message>
        <source>Please enter an integer.</source>
        <translation>整数を入力してください。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Time for Memorization:</source>
        <translation>記憶時間:</translation>
    </message>
    <message>
        <source>sec.</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>Number of Reversals:</source>
        <translation>反転回数:</translation>
    </message>
</context>
<context>
    <name>CSubject</name>
    <message>
        <source>Subject Information</source>
        <translation>被験者情報</translation>
    </message>
    <message>
        <source>Hide Mouse Cursor</source>
        <translation>マウスカーソルを隠す</translation>
    </message>
    <message>
        <source>Show Feedback</source>
        <translation>フィードバックを表示</translation>
    </message>
    <message>
        <source>Show Ranking</source>
        <translation>ランキングを表示</translation>
    </message>
    <message>
        <source>Subject ID:</source>
        <translation>被験者ID:</translation>
    </message>
</context>
<context>
    <name>CheckCommand</name>
    <message>
        <source>dorvane-check: cancelled, nothing was measured</source>
        <translation>dorvane-check: 取り消されました。何も測定していません</translation>
    </message>
    <message>
        <source>dorvane-check: the display could not be set up</source>
        <translation>dorvane-check: ディスプレイを準備できませんでした</translation>
    </message>
    <message>
        <source>Saved as %1 and %2</source>
        <translation>%1 と %2 に保存しました</translation>
    </message>
</context>
<context>
    <name>FigureAdvice</name>
    <message>
        <source>%1 of %2</source>
        <translation>%2 中 %1</translation>
    </message>
    <message>
        <source>Frames came too late for their refresh. Close other programs, switch off the compositor or its desktop effects, and make sure the PC is not busy (updates, virus scans, backups) while tests run.</source>
        <translation>フレームがリフレッシュに間に合いませんでした。他のプログラムを閉じ、コンポジターまたはデスクトップ効果をオフにし、テスト中に PC が他の処理（更新、ウイルススキャン、バックアップ）で忙しくならないようにしてください。</translation>
    </message>
    <message>
        <source>frames presented</source>
        <translation>表示されたフレーム</translation>
    </message>
    <message>
        <source>No frame reached the screen: install the graphics card&apos;s own driver and run the check on the PC&apos;s own display, not over a remote one.</source>
        <translation>画面に届いたフレームがありません。グラフィックカード専用のドライバーをインストールし、リモートではなく PC 本体のディスプレイでチェックを実行してください。</translation>
    </message>
    <message>
        <source>missed refreshes (display)</source>
        <translation>逃したリフレッシュ（表示）</translation>
    </message>
    <message>
        <source>missed refreshes (trial loop)</source>
        <translation>逃したリフレッシュ（試行ループ）</translation>
    </message>
    <message>
        <source>unconfirmed frames</source>
        <translation>未確認のフレーム</translation>
    </message>
    <message>
        <source>No source confirmed these frames on the screen, so their onsets are only the moments they were handed over. Run the program on the PC&apos;s own display with the graphics card&apos;s own driver, and switch the compositor off.</source>
        <translation>これらのフレームが画面に出たことを確認できる情報源がなく、開始時刻は受け渡した時点にすぎません。PC 本体のディスプレイとグラフィックカード専用のドライバーでプログラムを実行し、コンポジターをオフにしてください。</translation>
    </message>
    <message>
        <source>trials measured</source>
        <translation>測定した試行</translation>
    </message>
    <message>
        <source>The scripted presses did not reach the program: run the check on the PC&apos;s own display, not over a remote one, and with no other window in front.</source>
        <translation>スクリプトによる押下がプログラムに届きませんでした。リモートではなく PC 本体のディスプレイで、前面に他のウィンドウがない状態でチェックを実行してください。</translation>
    </message>
    <message>
        <source>reaction times outside [-1, +3] ms</source>
        <translation>[-1, +3] ms を外れた反応時間</translation>
    </message>
    <message>
        <source>Recorded reaction times are off the truth. Deal with the other lines of this table first; then close other programs and run the check again.</source>
        <translation>記録された反応時間が真の値からずれています。まずこの表の他の行に対処し、それから他のプログラムを閉じてもう一度チェックを実行してください。</translation>
    </message>
    <message>
        <source>Buffer swaps return at once instead of at the refresh: vsync is off, so frames may tear and their onsets rest on read-back alone. Switch vsync (&quot;sync to vblank&quot;) on in the graphics driver&apos;s settings or the compositor&apos;s, or close the compositor.</source>
        <translation>バッファの入れ替えがリフレッシュを待たずにすぐ戻ります。垂直同期がオフのため、フレームが裂けることがあり、開始時刻は読み戻しだけに頼っています。グラフィックドライバーかコンポジターの設定で垂直同期（“sync to vblank”）をオンにするか、コンポジターを閉じてください。</translation>
    </message>
    <message>
        <source> A virtual display has no refresh to wait for.</source>
        <translation> 仮想ディスプレイには待つべきリフレッシュがありません。</translation>
    </message>
    <message>
        <source>swaps wait for the refresh</source>
        <translation>入れ替えがリフレッシュを待つ</translation>
    </message>
    <message>
        <source>no</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>compositor</source>
        <translation>コンポジター</translation>
    </message>
    <message>
        <source>running</source>
        <translation>動作中</translation>
    </message>
    <message>
        <source>A compositor holds every frame back and can make its timing uneven: switch it off, or at least its effects, while tests run.</source>
        <translation>コンポジターはすべてのフレームを保留し、タイミングを不揃いにすることがあります。テスト中はコンポジターを、少なくともその効果をオフにしてください。</translation>
    </message>
    <message>
        <source>OpenGL renderer</source>
        <translation>OpenGL レンダラー</translation>
    </message>
    <message>
        <source> (software)</source>
        <translation>（ソフトウェア）</translation>
    </message>
    <message>
        <source>OpenGL runs in software: install the graphics card&apos;s own driver.</source>
        <translation>OpenGL がソフトウェアで動いています。グラフィックカード専用のドライバーをインストールしてください。</translation>
    </message>
    <message>
        <source>processor governor</source>
        <translation>プロセッサーのガバナー</translation>
    </message>
    <message>
        <source>Set the processor&apos;s frequency governor to &quot;performance&quot; while tests run.</source>
        <translation>テスト中はプロセッサーの周波数ガバナーを “performance” にしてください。</translation>
    </message>
    <message>
        <source>real-time priority</source>
        <translation>リアルタイム優先度</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>拒否</translation>
    </message>
    <message>
        <source>The tick thread wakes late: allow the user real-time priority (an rtprio limit in /etc/security/limits.conf), or run fewer programs beside the test.</source>
        <translation>ティックスレッドの起床が遅れています。ユーザーにリアルタイム優先度を許可する（/etc/security/limits.conf の rtprio 制限）か、テストと同時に動かすプログラムを減らしてください。</translation>
    </message>
    <message>
        <source>touches with their own stamp</source>
        <translation>自身のタイムスタンプを持つタッチ</translation>
    </message>
    <message>
        <source>Some presses carried no usable time stamp: run the program on the machine the screen belongs to, not over a remote display.</source>
        <translation>使えるタイムスタンプのない押下がありました。リモートディスプレイではなく、画面がつながっているマシンでプログラムを実行してください。</translation>
    </message>
</context>
<context>
    <name>FileIo</name>
    <message>
        <source>is a symbolic link</source>
        <translation>シンボリックリンクです</translation>
    </message>
    <message>
        <source>is not a regular file</source>
        <translation>通常のファイルではありません</translation>
    </message>
    <message>
        <source>the wait for another station&apos;s lock was cancelled</source>
        <translation>他のステーションのロック待ちが取り消されました</translation>
    </message>
    <message>
        <source>is larger than %1 MiB</source>
        <translation>%1 MiB より大きいファイルです</translation>
    </message>
    <message>
        <source>is larger than %1 bytes</source>
        <translation>%1 バイトより大きいファイルです</translation>
    </message>
</context>
<context>
    <name>LockWait</name>
    <message>
        <source>Waiting for another station to finish writing [%1]…</source>
        <translation>他のステーションが [%1] への書き込みを終えるのを待っています…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>MsTimer</name>
    <message>
        <source>System does not permit MsTimer.</source>
        <translation>このシステムでは MsTimer を使用できません。</translation>
    </message>
    <message>
        <source>System does not have enough resolution for MsTimer.

Reaction times measured now may be late by a millisecond or more. Close other programs and start Dorvane again; if this message comes back, run Help &gt; Timing Check for what to change on this PC.</source>
        <translation>このシステムには MsTimer に十分な分解能がありません。

今測定する反応時間は 1 ミリ秒以上遅れることがあります。他のプログラムを閉じて Dorvane を起動し直してください。このメッセージが再び出る場合は、ヘルプ &gt; タイミングチェック を実行して、この PC で何を変えればよいかを確認してください。</translation>
    </message>
</context>
<context>
    <name>Practice</name>
    <message>
        <source>The practice was stopped: the millisecond timer could not be started, so no reaction time could be measured.</source>
        <translation>練習を中止しました。ミリ秒タイマーを開始できず、反応時間を測定できませんでした。</translation>
    </message>
    <message>
        <source>The practice was stopped: the images of the trial could not be made (out of memory).</source>
        <translation>練習を中止しました。試行の画像を作成できませんでした（メモリ不足）。</translation>
    </message>
</context>
<context>
    <name>Records</name>
    <message>
        <source>Cannot write the session record [%1] (%2). The subject file and the log are not affected.</source>
        <translation>セッション記録 [%1] を書き込めません（%2）。被験者ファイルとログには影響ありません。</translation>
    </message>
    <message>
        <source>cannot be read: </source>
        <translation>読み込めません: </translation>
    </message>
    <message>
        <source>unfinished save, cannot be read: </source>
        <translation>保存が未完了で、読み込めません: </translation>
    </message>
    <message>
        <source>unfinished save: </source>
        <translation>保存が未完了です: </translation>
    </message>
    <message>
        <source>unfinished save, cannot be completed: </source>
        <translation>保存が未完了で、完了できません: </translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>is missing</source>
        <translation>がありません</translation>
    </message>
    <message>
        <source>is not an object</source>
        <translation>がオブジェクトではありません</translation>
    </message>
    <message>
        <source>is not a list</source>
        <translation>がリストではありません</translation>
    </message>
    <message>
        <source>is not a text</source>
        <translation>が文字列ではありません</translation>
    </message>
    <message>
        <source>is not true or false</source>
        <translation>が true でも false でもありません</translation>
    </message>
    <message>
        <source>is not a number</source>
        <translation>が数値ではありません</translation>
    </message>
    <message>
        <source>is not a whole number</source>
        <translation>が整数ではありません</translation>
    </message>
    <message>
        <source>is out of range</source>
        <translation>が範囲外です</translation>
    </message>
    <message>
        <source>is not a known name</source>
        <translation>が既知の名前ではありません</translation>
    </message>
    <message>
        <source>truncated: the file ends after %1 bytes</source>
        <translation>途中で切れています: ファイルが %1 バイトで終わっています</translation>
    </message>
    <message>
        <source>not JSON: %1 at byte %2</source>
        <translation>JSON ではありません: %2 バイト目で %1</translation>
    </message>
    <message>
        <source>has more than 20 entries</source>
        <translation>に 20 を超える項目があります</translation>
    </message>
    <message>
        <source>empty file</source>
        <translation>空のファイルです</translation>
    </message>
    <message>
        <source>not a session record: no JSON object</source>
        <translation>セッション記録ではありません: JSON オブジェクトがありません</translation>
    </message>
    <message>
        <source>not a session record: no format name</source>
        <translation>セッション記録ではありません: 形式名がありません</translation>
    </message>
    <message>
        <source>not a session record: its format is &quot;%1&quot;</source>
        <translation>セッション記録ではありません: 形式が &quot;%1&quot; です</translation>
    </message>
    <message>
        <source>unreadable format version &quot;%1&quot;</source>
        <translation>読めない形式のバージョン &quot;%1&quot;</translation>
    </message>
    <message>
        <source>format version %1 is newer than this program reads (%2.x)</source>
        <translation>形式のバージョン %1 は、このプログラムが読める版（%2.x）より新しいものです</translation>
    </message>
    <message>
        <source>format version %1 is older than this program reads (%2.x)</source>
        <translation>形式のバージョン %1 は、このプログラムが読める版（%2.x）より古いものです</translation>
    </message>
    <message>
        <source>does not hold result.trialsRun entries</source>
        <translation>に result.trialsRun 個の項目がありません</translation>
    </message>
    <message>
        <source>damaged: %1</source>
        <translation>破損: %1</translation>
    </message>
    <message>
        <source>impossible: %1</source>
        <translation>ありえない値: %1</translation>
    </message>
    <message>
        <source>not its place in the list</source>
        <translation>一覧での位置と一致しません</translation>
    </message>
    <message>
        <source>not 1 to 20</source>
        <translation>1 ～ 20 ではありません</translation>
    </message>
    <message>
        <source>not 0 to NItems</source>
        <translation>0 ～ NItems ではありません</translation>
    </message>
    <message>
        <source>a negative time</source>
        <translation>負の時間です</translation>
    </message>
    <message>
        <source>not 0 or 1</source>
        <translation>0 でも 1 でもありません</translation>
    </message>
    <message>
        <source>not 0 to result.reversals</source>
        <translation>0 ～ result.reversals ではありません</translation>
    </message>
    <message>
        <source>not 1 to 200</source>
        <translation>1 ～ 200 ではありません</translation>
    </message>
    <message>
        <source>not 0 to result.trialsRun</source>
        <translation>0 ～ result.trialsRun ではありません</translation>
    </message>
    <message>
        <source>not NItems in a trial without error</source>
        <translation>誤りのない試行で NItems と一致しません</translation>
    </message>
    <message>
        <source>not null for a completed test</source>
        <translation>完了したテストなのに null ではありません</translation>
    </message>
    <message>
        <source>not how an aborted test stopped</source>
        <translation>中断したテストの止まり方ではありません</translation>
    </message>
    <message>
        <source>not null for a run that is not a completed test</source>
        <translation>完了したテストではないのに null ではありません</translation>
    </message>
    <message>
        <source>not the trials up to abort.trial</source>
        <translation>abort.trial までの試行数ではありません</translation>
    </message>
</context>
<context>
    <name>Results</name>
    <message>
        <source>Cannot open the data file [%1] (%2); the rows of this test were not saved.</source>
        <translation>データファイル [%1] を開けません（%2）。このテストの行は保存されませんでした。</translation>
    </message>
    <message>
        <source>Cannot write the data file [%1] (%2); the rows of this test were not saved.</source>
        <translation>データファイル [%1] に書き込めません（%2）。このテストの行は保存されませんでした。</translation>
    </message>
    <message>
        <source>The test ended without a reversal, so it has no score.</source>
        <translation>テストは反転なしで終わったため、スコアはありません。</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>スコア</translation>
    </message>
    <message>
        <source>Cannot open the data file [%1].</source>
        <translation>データファイル [%1] を開けません。</translation>
    </message>
    <message>
        <source>Cannot write the data file [%1] (%2); the result of this test was not saved.</source>
        <translation>データファイル [%1] に書き込めません（%2）。このテストの結果は保存されませんでした。</translation>
    </message>
    <message>
        <source>Score is %1</source>
        <translation>スコアは %1 です</translation>
    </message>
    <message>
        <source>Result of [%1]: %2 chunks (ORDER: %3 out of %4 / %5 percentile)</source>
        <translation>[%1] の結果: %2 チャンク（順位: %4 件中 %3 位 / %5 パーセンタイル）</translation>
    </message>
</context>
<context>
    <name>Sessions</name>
    <message>
        <source>%1, %2: score %3</source>
        <translation>%1, %2: スコア %3</translation>
    </message>
    <message>
        <source>NItems</source>
        <translation>項目数 (NItems)</translation>
    </message>
    <message>
        <source>correct</source>
        <translation>正答</translation>
    </message>
    <message>
        <source>wrong</source>
        <translation>誤答</translation>
    </message>
    <message>
        <source>reversal %1</source>
        <translation>反転 %1</translation>
    </message>
    <message>
        <source>score %1</source>
        <translation>スコア %1</translation>
    </message>
    <message>
        <source>Trial</source>
        <translation>試行</translation>
    </message>
    <message numerus="yes">
        <source>Scores at memtime %1, max_rev %2 (%n sessions)</source>
        <translation>
            <numerusform>記憶時間 %1、反転回数 %2 のスコア（%n セッション）</numerusform>
        </translation>
    </message>
    <message>
        <source>other sessions</source>
        <translation>他のセッション</translation>
    </message>
    <message>
        <source>this session</source>
        <translation>このセッション</translation>
    </message>
    <message>
        <source>Score (bins %1 wide, from the value shown)</source>
        <translation>スコア（幅 %1 の区間、表示値から）</translation>
    </message>
    <message>
        <source>Sessions</source>
        <translation>セッション</translation>
    </message>
    <message>
        <source>none</source>
        <translation>なし</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The time for memorization must be %1 to %2 seconds; %3 is outside that range. Please correct it.</source>
        <translation>記憶時間は %1 ～ %2 秒でなければなりません。%3 はその範囲外です。修正してください。</translation>
    </message>
    <message>
        <source>The number of reversals must be %1 to %2; %3 is outside that range. Please correct it.</source>
        <translation>反転回数は %1 ～ %2 でなければなりません。%3 はその範囲外です。修正してください。</translation>
    </message>
    <message>
        <source>%1–%2 sec., %3–%4 reversals</source>
        <translation>%1～%2 秒、反転 %3～%4 回</translation>
    </message>
    <message>
        <source>the settings were never read</source>
        <translation>設定が一度も読み込まれていません</translation>
    </message>
    <message>
        <source>The subject ID is empty or holds only blanks. Please correct it.</source>
        <translation>被験者IDが空か、空白だけです。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID begins or ends with a blank or a tab. Please correct it.</source>
        <translation>被験者IDの先頭または末尾に空白かタブがあります。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds a line break. Please correct it.</source>
        <translation>被験者IDに改行が含まれています。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds a NUL character. Please correct it.</source>
        <translation>被験者IDに NUL 文字が含まれています。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds a tab or another control character. Please correct it.</source>
        <translation>被験者IDにタブなどの制御文字が含まれています。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;/&quot; or &quot;\&quot;, which would put the data file into another folder. Please correct it.</source>
        <translation>被験者IDに &quot;/&quot; または &quot;\&quot; が含まれており、データファイルが別のフォルダーに作られてしまいます。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;=&quot;, which the settings file cannot keep. Please correct it.</source>
        <translation>被験者IDに設定ファイルに保存できない &quot;=&quot; が含まれています。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;,&quot;, which would split the rows of the data file. Please correct it.</source>
        <translation>被験者IDに &quot;,&quot; が含まれており、データファイルの行が分割されてしまいます。修正してください。</translation>
    </message>
    <message>
        <source>The subject ID is longer than 251 bytes, too long for the name of its data file. Please correct it.</source>
        <translation>被験者IDが 251 バイトを超えており、データファイルの名前として長すぎます。修正してください。</translation>
    </message>
</context>
<context>
    <name>StartTest</name>
    <message>
        <source>The participant register cannot be used, so this session record holds no participant fields:
%1</source>
        <translation>参加者名簿を使えないため、このセッション記録には参加者の項目がありません:
%1</translation>
    </message>
</context>
<context>
    <name>TimingChart</name>
    <message>
        <source>Frame intervals (%1 frames, nominal %2 ms)</source>
        <translation>フレーム間隔（%1 フレーム、公称 %2 ms）</translation>
    </message>
    <message>
        <source>interval between onsets (ms)</source>
        <translation>開始時刻の間隔 (ms)</translation>
    </message>
    <message>
        <source>frames</source>
        <translation>フレーム数</translation>
    </message>
    <message>
        <source>Recorded minus true reaction time, per trial</source>
        <translation>試行ごとの記録値と真の反応時間の差</translation>
    </message>
    <message>
        <source>goal: -1 to +3 ms</source>
        <translation>目標: -1 ～ +3 ms</translation>
    </message>
    <message>
        <source>trial</source>
        <translation>試行</translation>
    </message>
</context>
<context>
    <name>TimingCheck</name>
    <message>
        <source>The timing check now takes the whole screen for about %1 seconds. The screen stays dark, then shows %2 trials that a scripted subject answers by itself.

Please do not touch the screen, the mouse or the keyboard until the result appears.

OK starts the check; Cancel goes back without running it.</source>
        <translation>タイミングチェックは約 %1 秒間、画面全体を使います。画面はしばらく暗いままで、その後スクリプトの被験者が自動で答える %2 回の試行を表示します。

結果が表示されるまで、画面・マウス・キーボードに触れないでください。

OK でチェックを開始し、キャンセルで実行せずに戻ります。</translation>
    </message>
    <message>
        <source>Cannot write %1 (%2)</source>
        <translation>%1 に書き込めません（%2）</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>%1 に書き込めません</translation>
    </message>
</context>
<context>
    <name>TrialRun</name>
    <message>
        <source>The test was stopped: the millisecond timer could not be started, so no reaction time could be measured. No results were written.</source>
        <translation>テストを中止しました。ミリ秒タイマーを開始できず、反応時間を測定できませんでした。結果は書き込まれていません。</translation>
    </message>
    <message>
        <source>The test was stopped: the images of the trial could not be made (out of memory). No results were written.</source>
        <translation>テストを中止しました。試行の画像を作成できませんでした（メモリ不足）。結果は書き込まれていません。</translation>
    </message>
</context>
<context>
    <name>check::TimingCheckDialog</name>
    <message>
        <source>Verdict: PASS. Every reaction time was within [-1, +3] ms of the truth and every frame met its refresh.</source>
        <translation>判定: 合格。すべての反応時間が真の値の [-1, +3] ms 以内で、すべてのフレームがリフレッシュに間に合いました。</translation>
    </message>
    <message numerus="yes">
        <source>Verdict: FAIL. %n of the figures below fail; the table says what to do about each.</source>
        <translation>
            <numerusform>判定: 不合格。下の項目のうち %n 件が不合格です。それぞれの対処は表のとおりです。</numerusform>
        </translation>
    </message>
    <message>
        <source> The warnings below are worth putting right all the same.</source>
        <translation> それでも、下の警告は直しておく価値があります。</translation>
    </message>
    <message>
        <source>Figure</source>
        <translation>項目</translation>
    </message>
    <message>
        <source>Measured</source>
        <translation>測定値</translation>
    </message>
    <message>
        <source>What to do</source>
        <translation>対処</translation>
    </message>
    <message>
        <source>fails</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Timing Check</source>
        <translation>タイミングチェック</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>グラフ</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>レポート</translation>
    </message>
    <message>
        <source>Saved as %1 and %2.</source>
        <translation>%1 と %2 に保存しました。</translation>
    </message>
    <message>
        <source>%1; the report was not saved.</source>
        <translation>%1。レポートは保存されませんでした。</translation>
    </message>
</context>
<context>
    <name>participants::CParticipants</name>
    <message>
        <source>Participants</source>
        <translation>参加者</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>追加(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>削除(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>閉じる(&amp;C)</translation>
    </message>
    <message>
        <source>The register cannot be read, so it is shown read-only and never written: %1</source>
        <translation>名簿を読み込めないため、読み取り専用で表示し、書き込みません: %1</translation>
    </message>
    <message>
        <source>There is no register yet: Save makes %1.</source>
        <translation>まだ名簿がありません。保存すると %1 を作成します。</translation>
    </message>
    <message numerus="yes">
        <source>%n participant(s) in %1.</source>
        <translation>
            <numerusform>%1 に %n 人の参加者。</numerusform>
        </translation>
    </message>
    <message>
        <source>The ID %1 is in the register twice.</source>
        <translation>ID %1 が名簿に2回あります。</translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation>%1 行目: %2</translation>
    </message>
    <message>
        <source>Not saved yet.</source>
        <translation>まだ保存されていません。</translation>
    </message>
    <message>
        <source>%1 %2, perhaps at another station. Nothing was written: close this window and open it again to see the register as it is now.</source>
        <translation>%1 %2（別のステーションからかもしれません）。何も書き込まれていません。このウィンドウを閉じて開き直すと、現在の名簿が表示されます。</translation>
    </message>
    <message>
        <source>Cannot save %1 (%2).</source>
        <translation>%1 を保存できません（%2）。</translation>
    </message>
    <message numerus="yes">
        <source>Saved %n participant(s) to %1.</source>
        <translation>
            <numerusform>%n 人の参加者を %1 に保存しました。</numerusform>
        </translation>
    </message>
    <message>
        <source>Close without saving the changes?</source>
        <translation>変更を保存せずに閉じますか?</translation>
    </message>
</context>
<context>
    <name>sessions::CSessions</name>
    <message>
        <source>Sessions</source>
        <translation>セッション</translation>
    </message>
    <message>
        <source>any</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>被験者:</translation>
    </message>
    <message>
        <source>memtime:</source>
        <translation>記憶時間 (memtime):</translation>
    </message>
    <message>
        <source>max_rev:</source>
        <translation>反転回数 (max_rev):</translation>
    </message>
    <message>
        <source>Stop reading</source>
        <translation>読み込みを中止</translation>
    </message>
    <message>
        <source>Reading %1…</source>
        <translation>%1 を読み込んでいます…</translation>
    </message>
    <message>
        <source>Save picture…</source>
        <translation>画像を保存…</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>エクスポート…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Reading the sessions…</source>
        <translation>セッションを読み込んでいます…</translation>
    </message>
    <message>
        <source>No session selected</source>
        <translation>セッションが選択されていません</translation>
    </message>
    <message>
        <source>%1 is unreadable: %2</source>
        <translation>%1 は読み込めません: %2</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n sessions listed</source>
        <translation>
            <numerusform>%n セッション中 %1 件を表示</numerusform>
        </translation>
    </message>
    <message>
        <source>, %1 unreadable</source>
        <translation>、読み込めないもの %1 件</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1。%2</translation>
    </message>
    <message>
        <source>cannot be encoded</source>
        <translation>エンコードできません</translation>
    </message>
    <message>
        <source>Cannot write the picture [%1] (%2).</source>
        <translation>画像 [%1] を書き込めません（%2）。</translation>
    </message>
    <message>
        <source> (%1 could no longer be read)</source>
        <translation>（%1 件は読み込めなくなっていました）</translation>
    </message>
    <message>
        <source>Export failed</source>
        <translation>エクスポートに失敗しました</translation>
    </message>
    <message>
        <source>Cannot write the export [%1].</source>
        <translation>エクスポートを書き込めません [%1]。</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>画像を保存</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG 画像 (*.png)</translation>
    </message>
    <message>
        <source>There is no session to export.</source>
        <translation>エクスポートするセッションがありません。</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV ファイル (*.csv)</translation>
    </message>
    <message>
        <source>The export would replace these files:%1

Replace them?</source>
        <translation>エクスポートすると次のファイルが置き換えられます:%1

置き換えますか?</translation>
    </message>
    <message>
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>完了</translation>
    </message>
    <message>
        <source>Aborted</source>
        <translation>中断</translation>
    </message>
    <message>
        <source>Show practice</source>
        <translation>練習も表示</translation>
    </message>
    <message>
        <source>Outcome:</source>
        <translation>終了状態:</translation>
    </message>
    <message numerus="yes">
        <source>Exported %n sessions to %1, %2 and %3</source>
        <translation>
            <numerusform>%n セッションを %1、%2、%3 に書き出しました</numerusform>
        </translation>
    </message>
    <message>
        <source>Export the listed sessions (three files: -trials.csv, -touches.csv, -table.csv)</source>
        <translation>表示中のセッションを書き出す（3ファイル: -trials.csv、-touches.csv、-table.csv）</translation>
    </message>
</context>
<context>
    <name>sessions::SessionTableModel</name>
    <message>
        <source>unreadable: %1</source>
        <translation>読み込めません: %1</translation>
    </message>
    <message>
        <source>(unreadable)</source>
        <translation>（読み込めません）</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>被験者</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日時</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>スコア</translation>
    </message>
    <message>
        <source>memtime</source>
        <translation>記憶時間 (memtime)</translation>
    </message>
    <message>
        <source>max_rev</source>
        <translation>反転回数 (max_rev)</translation>
    </message>
    <message>
        <source>Trials</source>
        <translation>試行数</translation>
    </message>
    <message>
        <source>Errors</source>
        <translation>誤り</translation>
    </message>
    <message>
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>問題</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>終了状態</translation>
    </message>
</context>
</TS>
