<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Sessions</name>
    <message numerus="yes">
        <source>Scores at memtime %1, max_rev %2 (%n sessions)</source>
        <translation>
            <numerusform>Scores at memtime %1, max_rev %2 (%n session)</numerusform>
            <numerusform>Scores at memtime %1, max_rev %2 (%n sessions)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>check::TimingCheckDialog</name>
    <message numerus="yes">
        <source>Verdict: FAIL. %n of the figures below fail; the table says what to do about each.</source>
        <translation>
            <numerusform>Verdict: FAIL. %n of the figures below fails; the table says what to do about each.</numerusform>
            <numerusform>Verdict: FAIL. %n of the figures below fail; the table says what to do about each.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>participants::CParticipants</name>
    <message numerus="yes">
        <source>%n participant(s) in %1.</source>
        <translation>
            <numerusform>%n participant in %1.</numerusform>
            <numerusform>%n participants in %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Saved %n participant(s) to %1.</source>
        <translation>
            <numerusform>Saved %n participant to %1.</numerusform>
            <numerusform>Saved %n participants to %1.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>sessions::CSessions</name>
    <message numerus="yes">
        <source>%1 of %n sessions listed</source>
        <translation>
            <numerusform>%1 of %n session listed</numerusform>
            <numerusform>%1 of %n sessions listed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Exported %n sessions to %1, %2 and %3</source>
        <translation>
            <numerusform>Exported %n session to %1, %2 and %3</numerusform>
            <numerusform>Exported %n sessions to %1, %2 and %3</numerusform>
        </translation>
    </message>
</context>
</TS>
