<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CAboutDialog</name>
    <message>
        <source>About this application</source>
        <translation>About this application</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Visual-spatial memory test
Dorvane developers, 2026</source>
        <translation>Visual-spatial memory test
Dorvane developers, 2026</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>&amp;Test</translation>
    </message>
    <message>
        <source>&amp;Start Test</source>
        <translation>&amp;Start Test</translation>
    </message>
    <message>
        <source>結果を見る(&amp;R)</source>
        <translation>View &amp;Results</translation>
    </message>
    <message>
        <source>S&amp;essions…</source>
        <translation>S&amp;essions…</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>Timing Check…</source>
        <translation>Timing Check…</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Click or touch inside the square to start a test.</source>
        <translation>Click or touch inside the square to start a test.</translation>
    </message>
    <message>
        <source>&amp;Practice…</source>
        <translation>&amp;Practice…</translation>
    </message>
    <message>
        <source>Partic&amp;ipants…</source>
        <translation>Partic&amp;ipants…</translation>
    </message>
</context>
<context>
    <name>CMyApp</name>
    <message>
        <source>The stimulus [%1] was not read: it %2. A built-in image is shown instead.</source>
        <translation>The stimulus [%1] was not read: it %2. A built-in image is shown instead.</translation>
    </message>
    <message>
        <source>The settings could not be saved to [%1] (%2).
These settings were not kept; the next session starts without them:</source>
        <translation>The settings could not be saved to [%1] (%2).
These settings were not kept; the next session starts without them:</translation>
    </message>
    <message>
        <source>The stimulus folder [%1] has no usable %2.</source>
        <translation>The stimulus folder [%1] has no usable %2.</translation>
    </message>
    <message>
        <source>The stimulus folder [%1] is missing or cannot be read.</source>
        <translation>The stimulus folder [%1] is missing or cannot be read.</translation>
    </message>
    <message>
        <source>Tests still run, with white discs as covers, the title instead of the opening picture and no sound where one is missing; the session records say which stimuli were used.</source>
        <translation>Tests still run, with white discs as covers, the title instead of the opening picture and no sound where one is missing; the session records say which stimuli were used.</translation>
    </message>
    <message>
        <source>The settings file [%1] was not read: it %2. The settings start from their defaults and are not saved to it.</source>
        <translation>The settings file [%1] was not read: it %2. The settings start from their defaults and are not saved to it.</translation>
    </message>
</context>
<context>
    <name>COption</name>
    <message>
        <source>Option</source>
        <translation>Option</translation>
    </message>
    <message>
        <source>Hide Mouse Cursor</source>
        <translation>Hide Mouse Cursor</translation>
    </message>
</context>
<context>
    <name>CResult</name>
    <message>
        <source>Results</source>
        <translation>Results</translation>
    </message>
    <message>
        <source>Result: </source>
        <translation>Result: </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The results log [ORBEL.txt] was not read: it %1.</source>
        <translation>The results log [ORBEL.txt] was not read: it %1.</translation>
    </message>
    <message>
        <source>The log [%1] holds no result to rank yet.</source>
        <translation>The log [%1] holds no result to rank yet.</translation>
    </message>
    <message>
        <source>There is no log [ORBEL.txt] in the folder [%1]: no test has been completed here yet.</source>
        <translation>There is no log [ORBEL.txt] in the folder [%1]: no test has been completed here yet.</translation>
    </message>
</context>
<context>
    <name>CSetupDialog</name>
    <message>
        <source>Please enter an integer.</source>
        <translation>Please enter an integer.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Time for Memorization:</source>
        <translation>Time for Memorization:</translation>
    </message>
    <message>
        <source>sec.</source>
        <translation>sec.</translation>
    </message>
    <message>
        <source>Number of Reversals:</source>
        <translation>Number of Reversals:</translation>
    </message>
</context>
<context>
    <name>CSubject</name>
    <message>
        <source>Subject Information</source>
        <translation>Subject Information</translation>
    </message>
    <message>
        <source>Hide Mouse Cursor</source>
        <translation>Hide Mouse Cursor</translation>
    </message>
    <message>
        <source>Show Feedback</source>
        <translation>Show Feedback</translation>
    </message>
    <message>
        <source>Show Ranking</source>
        <translation>Show Ranking</translation>
    </message>
    <message>
        <source>Subject ID:</source>
        <translation>Subject ID:</translation>
    </message>
</context>
<context>
    <name>CheckCommand</name>
    <message>
        <source>dorvane-check: cancelled, nothing was measured</source>
        <translation>dorvane-check: cancelled, nothing was measured</translation>
    </message>
    <message>
        <source>dorvane-check: the display could not be set up</source>
        <translation>dorvane-check: the display could not be set up</translation>
    </message>
    <message>
        <source>Saved as %1 and %2</source>
        <translation>Saved as %1 and %2</translation>
    </message>
</context>
<context>
    <name>FigureAdvice</name>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Frames came too late for their refresh. Close other programs, switch off the compositor or its desktop effects, and make sure the PC is not busy (updates, virus scans, backups) while tests run.</source>
        <translation>Frames came too late for their refresh. Close other programs, switch off the compositor or its desktop effects, and make sure the PC is not busy (updates, virus scans, backups) while tests run.</translation>
    </message>
    <message>
        <source>frames presented</source>
        <translation>frames presented</translation>
    </message>
    <message>
        <source>No frame reached the screen: install the graphics card&apos;s own driver and run the check on the PC&apos;s own display, not over a remote one.</source>
        <translation>No frame reached the screen: install the graphics card&apos;s own driver and run the check on the PC&apos;s own display, not over a remote one.</translation>
    </message>
    <message>
        <source>missed refreshes (display)</source>
        <translation>missed refreshes (display)</translation>
    </message>
    <message>
        <source>missed refreshes (trial loop)</source>
        <translation>missed refreshes (trial loop)</translation>
    </message>
    <message>
        <source>unconfirmed frames</source>
        <translation>unconfirmed frames</translation>
    </message>
    <message>
        <source>No source confirmed these frames on the screen, so their onsets are only the moments they were handed over. Run the program on the PC&apos;s own display with the graphics card&apos;s own driver, and switch the compositor off.</source>
        <translation>No source confirmed these frames on the screen, so their onsets are only the moments they were handed over. Run the program on the PC&apos;s own display with the graphics card&apos;s own driver, and switch the compositor off.</translation>
    </message>
    <message>
        <source>trials measured</source>
        <translation>trials measured</translation>
    </message>
    <message>
        <source>The scripted presses did not reach the program: run the check on the PC&apos;s own display, not over a remote one, and with no other window in front.</source>
        <translation>The scripted presses did not reach the program: run the check on the PC&apos;s own display, not over a remote one, and with no other window in front.</translation>
    </message>
    <message>
        <source>reaction times outside [-1, +3] ms</source>
        <translation>reaction times outside [-1, +3] ms</translation>
    </message>
    <message>
        <source>Recorded reaction times are off the truth. Deal with the other lines of this table first; then close other programs and run the check again.</source>
        <translation>Recorded reaction times are off the truth. Deal with the other lines of this table first; then close other programs and run the check again.</translation>
    </message>
    <message>
        <source>Buffer swaps return at once instead of at the refresh: vsync is off, so frames may tear and their onsets rest on read-back alone. Switch vsync (&quot;sync to vblank&quot;) on in the graphics driver&apos;s settings or the compositor&apos;s, or close the compositor.</source>
        <translation>Buffer swaps return at once instead of at the refresh: vsync is off, so frames may tear and their onsets rest on read-back alone. Switch vsync (&quot;sync to vblank&quot;) on in the graphics driver&apos;s settings or the compositor&apos;s, or close the compositor.</translation>
    </message>
    <message>
        <source> A virtual display has no refresh to wait for.</source>
        <translation> A virtual display has no refresh to wait for.</translation>
    </message>
    <message>
        <source>swaps wait for the refresh</source>
        <translation>swaps wait for the refresh</translation>
    </message>
    <message>
        <source>no</source>
        <translation>no</translation>
    </message>
    <message>
        <source>compositor</source>
        <translation>compositor</translation>
    </message>
    <message>
        <source>running</source>
        <translation>running</translation>
    </message>
    <message>
        <source>A compositor holds every frame back and can make its timing uneven: switch it off, or at least its effects, while tests run.</source>
        <translation>A compositor holds every frame back and can make its timing uneven: switch it off, or at least its effects, while tests run.</translation>
    </message>
    <message>
        <source>OpenGL renderer</source>
        <translation>OpenGL renderer</translation>
    </message>
    <message>
        <source> (software)</source>
        <translation> (software)</translation>
    </message>
    <message>
        <source>OpenGL runs in software: install the graphics card&apos;s own driver.</source>
        <translation>OpenGL runs in software: install the graphics card&apos;s own driver.</translation>
    </message>
    <message>
        <source>processor governor</source>
        <translation>processor governor</translation>
    </message>
    <message>
        <source>Set the processor&apos;s frequency governor to &quot;performance&quot; while tests run.</source>
        <translation>Set the processor&apos;s frequency governor to &quot;performance&quot; while tests run.</translation>
    </message>
    <message>
        <source>real-time priority</source>
        <translation>real-time priority</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>The tick thread wakes late: allow the user real-time priority (an rtprio limit in /etc/security/limits.conf), or run fewer programs beside the test.</source>
        <translation>The tick thread wakes late: allow the user real-time priority (an rtprio limit in /etc/security/limits.conf), or run fewer programs beside the test.</translation>
    </message>
    <message>
        <source>touches with their own stamp</source>
        <translation>touches with their own stamp</translation>
    </message>
    <message>
        <source>Some presses carried no usable time stamp: run the program on the machine the screen belongs to, not over a remote display.</source>
        <translation>Some presses carried no usable time stamp: run the program on the machine the screen belongs to, not over a remote display.</translation>
    </message>
</context>
<context>
    <name>FileIo</name>
    <message>
        <source>is a symbolic link</source>
        <translation>is a symbolic link</translation>
    </message>
    <message>
        <source>is not a regular file</source>
        <translation>is not a regular file</translation>
    </message>
    <message>
        <source>the wait for another station&apos;s lock was cancelled</source>
        <translation>the wait for another station&apos;s lock was cancelled</translation>
    </message>
    <message>
        <source>is larger than %1 MiB</source>
        <translation>is larger than %1 MiB</translation>
    </message>
    <message>
        <source>is larger than %1 bytes</source>
        <translation>is larger than %1 bytes</translation>
    </message>
</context>
<context>
    <name>LockWait</name>
    <message>
        <source>Waiting for another station to finish writing [%1]…</source>
        <translation>Waiting for another station to finish writing [%1]…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
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
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MsTimer</name>
    <message>
        <source>System does not permit MsTimer.</source>
        <translation>System does not permit MsTimer.</translation>
    </message>
    <message>
        <source>System does not have enough resolution for MsTimer.

Reaction times measured now may be late by a millisecond or more. Close other programs and start Dorvane again; if this message comes back, run Help &gt; Timing Check for what to change on this PC.</source>
        <translation>System does not have enough resolution for MsTimer.

Reaction times measured now may be late by a millisecond or more. Close other programs and start Dorvane again; if this message comes back, run Help &gt; Timing Check for what to change on this PC.</translation>
    </message>
</context>
<context>
    <name>Practice</name>
    <message>
        <source>The practice was stopped: the millisecond timer could not be started, so no reaction time could be measured.</source>
        <translation>The practice was stopped: the millisecond timer could not be started, so no reaction time could be measured.</translation>
    </message>
    <message>
        <source>The practice was stopped: the images of the trial could not be made (out of memory).</source>
        <translation>The practice was stopped: the images of the trial could not be made (out of memory).</translation>
    </message>
</context>
<context>
    <name>Records</name>
    <message>
        <source>Cannot write the session record [%1] (%2). The subject file and the log are not affected.</source>
        <translation>Cannot write the session record [%1] (%2). The subject file and the log are not affected.</translation>
    </message>
    <message>
        <source>cannot be read: </source>
        <translation>cannot be read: </translation>
    </message>
    <message>
        <source>unfinished save, cannot be read: </source>
        <translation>unfinished save, cannot be read: </translation>
    </message>
    <message>
        <source>unfinished save: </source>
        <translation>unfinished save: </translation>
    </message>
    <message>
        <source>unfinished save, cannot be completed: </source>
        <translation>unfinished save, cannot be completed: </translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>is missing</source>
        <translation>is missing</translation>
    </message>
    <message>
        <source>is not an object</source>
        <translation>is not an object</translation>
    </message>
    <message>
        <source>is not a list</source>
        <translation>is not a list</translation>
    </message>
    <message>
        <source>is not a text</source>
        <translation>is not a text</translation>
    </message>
    <message>
        <source>is not true or false</source>
        <translation>is not true or false</translation>
    </message>
    <message>
        <source>is not a number</source>
        <translation>is not a number</translation>
    </message>
    <message>
        <source>is not a whole number</source>
        <translation>is not a whole number</translation>
    </message>
    <message>
        <source>is out of range</source>
        <translation>is out of range</translation>
    </message>
    <message>
        <source>is not a known name</source>
        <translation>is not a known name</translation>
    </message>
    <message>
        <source>truncated: the file ends after %1 bytes</source>
        <translation>truncated: the file ends after %1 bytes</translation>
    </message>
    <message>
        <source>not JSON: %1 at byte %2</source>
        <translation>not JSON: %1 at byte %2</translation>
    </message>
    <message>
        <source>has more than 20 entries</source>
        <translation>has more than 20 entries</translation>
    </message>
    <message>
        <source>empty file</source>
        <translation>empty file</translation>
    </message>
    <message>
        <source>not a session record: no JSON object</source>
        <translation>not a session record: no JSON object</translation>
    </message>
    <message>
        <source>not a session record: no format name</source>
        <translation>not a session record: no format name</translation>
    </message>
    <message>
        <source>not a session record: its format is &quot;%1&quot;</source>
        <translation>not a session record: its format is &quot;%1&quot;</translation>
    </message>
    <message>
        <source>unreadable format version &quot;%1&quot;</source>
        <translation>unreadable format version &quot;%1&quot;</translation>
    </message>
    <message>
        <source>format version %1 is newer than this program reads (%2.x)</source>
        <translation>format version %1 is newer than this program reads (%2.x)</translation>
    </message>
    <message>
        <source>format version %1 is older than this program reads (%2.x)</source>
        <translation>format version %1 is older than this program reads (%2.x)</translation>
    </message>
    <message>
        <source>does not hold result.trialsRun entries</source>
        <translation>does not hold result.trialsRun entries</translation>
    </message>
    <message>
        <source>damaged: %1</source>
        <translation>damaged: %1</translation>
    </message>
    <message>
        <source>impossible: %1</source>
        <translation>impossible: %1</translation>
    </message>
    <message>
        <source>not its place in the list</source>
        <translation>not its place in the list</translation>
    </message>
    <message>
        <source>not 1 to 20</source>
        <translation>not 1 to 20</translation>
    </message>
    <message>
        <source>not 0 to NItems</source>
        <translation>not 0 to NItems</translation>
    </message>
    <message>
        <source>a negative time</source>
        <translation>a negative time</translation>
    </message>
    <message>
        <source>not 0 or 1</source>
        <translation>not 0 or 1</translation>
    </message>
    <message>
        <source>not 0 to result.reversals</source>
        <translation>not 0 to result.reversals</translation>
    </message>
    <message>
        <source>not 1 to 200</source>
        <translation>not 1 to 200</translation>
    </message>
    <message>
        <source>not 0 to result.trialsRun</source>
        <translation>not 0 to result.trialsRun</translation>
    </message>
    <message>
        <source>not NItems in a trial without error</source>
        <translation>not NItems in a trial without error</translation>
    </message>
    <message>
        <source>not null for a completed test</source>
        <translation>not null for a completed test</translation>
    </message>
    <message>
        <source>not how an aborted test stopped</source>
        <translation>not how an aborted test stopped</translation>
    </message>
    <message>
        <source>not null for a run that is not a completed test</source>
        <translation>not null for a run that is not a completed test</translation>
    </message>
    <message>
        <source>not the trials up to abort.trial</source>
        <translation>not the trials up to abort.trial</translation>
    </message>
</context>
<context>
    <name>Results</name>
    <message>
        <source>Cannot open the data file [%1] (%2); the rows of this test were not saved.</source>
        <translation>Cannot open the data file [%1] (%2); the rows of this test were not saved.</translation>
    </message>
    <message>
        <source>Cannot write the data file [%1] (%2); the rows of this test were not saved.</source>
        <translation>Cannot write the data file [%1] (%2); the rows of this test were not saved.</translation>
    </message>
    <message>
        <source>The test ended without a reversal, so it has no score.</source>
        <translation>The test ended without a reversal, so it has no score.</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>Cannot open the data file [%1].</source>
        <translation>Cannot open the data file [%1].</translation>
    </message>
    <message>
        <source>Cannot write the data file [%1] (%2); the result of this test was not saved.</source>
        <translation>Cannot write the data file [%1] (%2); the result of this test was not saved.</translation>
    </message>
    <message>
        <source>Score is %1</source>
        <translation>Score is %1</translation>
    </message>
    <message>
        <source>Result of [%1]: %2 chunks (ORDER: %3 out of %4 / %5 percentile)</source>
        <translation>Result of [%1]: %2 chunks (ORDER: %3 out of %4 / %5 percentile)</translation>
    </message>
</context>
<context>
    <name>Sessions</name>
    <message>
        <source>%1, %2: score %3</source>
        <translation>%1, %2: score %3</translation>
    </message>
    <message>
        <source>NItems</source>
        <translation>NItems</translation>
    </message>
    <message>
        <source>correct</source>
        <translation>correct</translation>
    </message>
    <message>
        <source>wrong</source>
        <translation>wrong</translation>
    </message>
    <message>
        <source>reversal %1</source>
        <translation>reversal %1</translation>
    </message>
    <message>
        <source>score %1</source>
        <translation>score %1</translation>
    </message>
    <message>
        <source>Trial</source>
        <translation>Trial</translation>
    </message>
    <message numerus="yes">
        <source>Scores at memtime %1, max_rev %2 (%n sessions)</source>
        <translation>
            <numerusform>Scores at memtime %1, max_rev %2 (%n session)</numerusform>
            <numerusform>Scores at memtime %1, max_rev %2 (%n sessions)</numerusform>
        </translation>
    </message>
    <message>
        <source>other sessions</source>
        <translation>other sessions</translation>
    </message>
    <message>
        <source>this session</source>
        <translation>this session</translation>
    </message>
    <message>
        <source>Score (bins %1 wide, from the value shown)</source>
        <translation>Score (bins %1 wide, from the value shown)</translation>
    </message>
    <message>
        <source>Sessions</source>
        <translation>Sessions</translation>
    </message>
    <message>
        <source>none</source>
        <translation>none</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The time for memorization must be %1 to %2 seconds; %3 is outside that range. Please correct it.</source>
        <translation>The time for memorization must be %1 to %2 seconds; %3 is outside that range. Please correct it.</translation>
    </message>
    <message>
        <source>The number of reversals must be %1 to %2; %3 is outside that range. Please correct it.</source>
        <translation>The number of reversals must be %1 to %2; %3 is outside that range. Please correct it.</translation>
    </message>
    <message>
        <source>%1–%2 sec., %3–%4 reversals</source>
        <translation>%1–%2 sec., %3–%4 reversals</translation>
    </message>
    <message>
        <source>the settings were never read</source>
        <translation>the settings were never read</translation>
    </message>
    <message>
        <source>The subject ID is empty or holds only blanks. Please correct it.</source>
        <translation>The subject ID is empty or holds only blanks. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID begins or ends with a blank or a tab. Please correct it.</source>
        <translation>The subject ID begins or ends with a blank or a tab. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds a line break. Please correct it.</source>
        <translation>The subject ID holds a line break. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds a NUL character. Please correct it.</source>
        <translation>The subject ID holds a NUL character. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds a tab or another control character. Please correct it.</source>
        <translation>The subject ID holds a tab or another control character. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;/&quot; or &quot;\&quot;, which would put the data file into another folder. Please correct it.</source>
        <translation>The subject ID holds &quot;/&quot; or &quot;\&quot;, which would put the data file into another folder. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;=&quot;, which the settings file cannot keep. Please correct it.</source>
        <translation>The subject ID holds &quot;=&quot;, which the settings file cannot keep. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID holds &quot;,&quot;, which would split the rows of the data file. Please correct it.</source>
        <translation>The subject ID holds &quot;,&quot;, which would split the rows of the data file. Please correct it.</translation>
    </message>
    <message>
        <source>The subject ID is longer than 251 bytes, too long for the name of its data file. Please correct it.</source>
        <translation>The subject ID is longer than 251 bytes, too long for the name of its data file. Please correct it.</translation>
    </message>
</context>
<context>
    <name>StartTest</name>
    <message>
        <source>The participant register cannot be used, so this session record holds no participant fields:
%1</source>
        <translation>The participant register cannot be used, so this session record holds no participant fields:
%1</translation>
    </message>
</context>
<context>
    <name>TimingChart</name>
    <message>
        <source>Frame intervals (%1 frames, nominal %2 ms)</source>
        <translation>Frame intervals (%1 frames, nominal %2 ms)</translation>
    </message>
    <message>
        <source>interval between onsets (ms)</source>
        <translation>interval between onsets (ms)</translation>
    </message>
    <message>
        <source>frames</source>
        <translation>frames</translation>
    </message>
    <message>
        <source>Recorded minus true reaction time, per trial</source>
        <translation>Recorded minus true reaction time, per trial</translation>
    </message>
    <message>
        <source>goal: -1 to +3 ms</source>
        <translation>goal: -1 to +3 ms</translation>
    </message>
    <message>
        <source>trial</source>
        <translation>trial</translation>
    </message>
</context>
<context>
    <name>TimingCheck</name>
    <message>
        <source>The timing check now takes the whole screen for about %1 seconds. The screen stays dark, then shows %2 trials that a scripted subject answers by itself.

Please do not touch the screen, the mouse or the keyboard until the result appears.

OK starts the check; Cancel goes back without running it.</source>
        <translation>The timing check now takes the whole screen for about %1 seconds. The screen stays dark, then shows %2 trials that a scripted subject answers by itself.

Please do not touch the screen, the mouse or the keyboard until the result appears.

OK starts the check; Cancel goes back without running it.</translation>
    </message>
    <message>
        <source>Cannot write %1 (%2)</source>
        <translation>Cannot write %1 (%2)</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>Cannot write %1</translation>
    </message>
</context>
<context>
    <name>TrialRun</name>
    <message>
        <source>The test was stopped: the millisecond timer could not be started, so no reaction time could be measured. No results were written.</source>
        <translation>The test was stopped: the millisecond timer could not be started, so no reaction time could be measured. No results were written.</translation>
    </message>
    <message>
        <source>The test was stopped: the images of the trial could not be made (out of memory). No results were written.</source>
        <translation>The test was stopped: the images of the trial could not be made (out of memory). No results were written.</translation>
    </message>
</context>
<context>
    <name>check::TimingCheckDialog</name>
    <message>
        <source>Verdict: PASS. Every reaction time was within [-1, +3] ms of the truth and every frame met its refresh.</source>
        <translation>Verdict: PASS. Every reaction time was within [-1, +3] ms of the truth and every frame met its refresh.</translation>
    </message>
    <message numerus="yes">
        <source>Verdict: FAIL. %n of the figures below fail; the table says what to do about each.</source>
        <translation>
            <numerusform>Verdict: FAIL. %n of the figures below fails; the table says what to do about each.</numerusform>
            <numerusform>Verdict: FAIL. %n of the figures below fail; the table says what to do about each.</numerusform>
        </translation>
    </message>
    <message>
        <source> The warnings below are worth putting right all the same.</source>
        <translation> The warnings below are worth putting right all the same.</translation>
    </message>
    <message>
        <source>Figure</source>
        <translation>Figure</translation>
    </message>
    <message>
        <source>Measured</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>What to do</source>
        <translation>What to do</translation>
    </message>
    <message>
        <source>fails</source>
        <translation>fails</translation>
    </message>
    <message>
        <source>warning</source>
        <translation>warning</translation>
    </message>
    <message>
        <source>Timing Check</source>
        <translation>Timing Check</translation>
    </message>
    <message>
        <source>Charts</source>
        <translation>Charts</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Report</translation>
    </message>
    <message>
        <source>Saved as %1 and %2.</source>
        <translation>Saved as %1 and %2.</translation>
    </message>
    <message>
        <source>%1; the report was not saved.</source>
        <translation>%1; the report was not saved.</translation>
    </message>
</context>
<context>
    <name>participants::CParticipants</name>
    <message>
        <source>Participants</source>
        <translation>Participants</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>The register cannot be read, so it is shown read-only and never written: %1</source>
        <translation>The register cannot be read, so it is shown read-only and never written: %1</translation>
    </message>
    <message>
        <source>There is no register yet: Save makes %1.</source>
        <translation>There is no register yet: Save makes %1.</translation>
    </message>
    <message numerus="yes">
        <source>%n participant(s) in %1.</source>
        <translation>
            <numerusform>%n participant in %1.</numerusform>
            <numerusform>%n participants in %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>The ID %1 is in the register twice.</source>
        <translation>The ID %1 is in the register twice.</translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation>Row %1: %2</translation>
    </message>
    <message>
        <source>Not saved yet.</source>
        <translation>Not saved yet.</translation>
    </message>
    <message>
        <source>%1 %2, perhaps at another station. Nothing was written: close this window and open it again to see the register as it is now.</source>
        <translation>%1 %2, perhaps at another station. Nothing was written: close this window and open it again to see the register as it is now.</translation>
    </message>
    <message>
        <source>Cannot save %1 (%2).</source>
        <translation>Cannot save %1 (%2).</translation>
    </message>
    <message numerus="yes">
        <source>Saved %n participant(s) to %1.</source>
        <translation>
            <numerusform>Saved %n participant to %1.</numerusform>
            <numerusform>Saved %n participants to %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>Close without saving the changes?</source>
        <translation>Close without saving the changes?</translation>
    </message>
</context>
<context>
    <name>sessions::CSessions</name>
    <message>
        <source>Sessions</source>
        <translation>Sessions</translation>
    </message>
    <message>
        <source>any</source>
        <translation>any</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Subject:</translation>
    </message>
    <message>
        <source>memtime:</source>
        <translation>memtime:</translation>
    </message>
    <message>
        <source>max_rev:</source>
        <translation>max_rev:</translation>
    </message>
    <message>
        <source>Stop reading</source>
        <translation>Stop reading</translation>
    </message>
    <message>
        <source>Reading %1…</source>
        <translation>Reading %1…</translation>
    </message>
    <message>
        <source>Save picture…</source>
        <translation>Save picture…</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Reading the sessions…</source>
        <translation>Reading the sessions…</translation>
    </message>
    <message>
        <source>No session selected</source>
        <translation>No session selected</translation>
    </message>
    <message>
        <source>%1 is unreadable: %2</source>
        <translation>%1 is unreadable: %2</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n sessions listed</source>
        <translation>
            <numerusform>%1 of %n session listed</numerusform>
            <numerusform>%1 of %n sessions listed</numerusform>
        </translation>
    </message>
    <message>
        <source>, %1 unreadable</source>
        <translation>, %1 unreadable</translation>
    </message>
    <message>
        <source>%1. %2</source>
        <translation>%1. %2</translation>
    </message>
    <message>
        <source>cannot be encoded</source>
        <translation>cannot be encoded</translation>
    </message>
    <message>
        <source>Cannot write the picture [%1] (%2).</source>
        <translation>Cannot write the picture [%1] (%2).</translation>
    </message>
    <message>
        <source> (%1 could no longer be read)</source>
        <translation> (%1 could no longer be read)</translation>
    </message>
    <message>
        <source>Export failed</source>
        <translation>Export failed</translation>
    </message>
    <message>
        <source>Cannot write the export [%1].</source>
        <translation>Cannot write the export [%1].</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG pictures (*.png)</translation>
    </message>
    <message>
        <source>There is no session to export.</source>
        <translation>There is no session to export.</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>The export would replace these files:%1

Replace them?</source>
        <translation>The export would replace these files:%1

Replace them?</translation>
    </message>
    <message>
        <source>All</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Completed</translation>
    </message>
    <message>
        <source>Aborted</source>
        <translation>Aborted</translation>
    </message>
    <message>
        <source>Show practice</source>
        <translation>Show practice</translation>
    </message>
    <message>
        <source>Outcome:</source>
        <translation>Outcome:</translation>
    </message>
    <message numerus="yes">
        <source>Exported %n sessions to %1, %2 and %3</source>
        <translation>
            <numerusform>Exported %n session to %1, %2 and %3</numerusform>
            <numerusform>Exported %n sessions to %1, %2 and %3</numerusform>
        </translation>
    </message>
    <message>
        <source>Export the listed sessions (three files: -trials.csv, -touches.csv, -table.csv)</source>
        <translation>Export the listed sessions (three files: -trials.csv, -touches.csv, -table.csv)</translation>
    </message>
</context>
<context>
    <name>sessions::SessionTableModel</name>
    <message>
        <source>unreadable: %1</source>
        <translation>unreadable: %1</translation>
    </message>
    <message>
        <source>(unreadable)</source>
        <translation>(unreadable)</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Subject</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>Score</translation>
    </message>
    <message>
        <source>memtime</source>
        <translation>memtime</translation>
    </message>
    <message>
        <source>max_rev</source>
        <translation>max_rev</translation>
    </message>
    <message>
        <source>Trials</source>
        <translation>Trials</translation>
    </message>
    <message>
        <source>Errors</source>
        <translation>Errors</translation>
    </message>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Problem</source>
        <translation>Problem</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>Outcome</translation>
    </message>
</context>
</TS>
