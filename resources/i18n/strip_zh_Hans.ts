<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Pin to taskbar</source>
        <translation>固定到任务栏</translation>
    </message>
    <message>
        <source>More apps</source>
        <translation>更多应用</translation>
    </message>
</context>
</TS>
