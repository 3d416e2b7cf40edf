<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Settings…</source>
        <translation>设置…</translation>
    </message>
    <message>
        <source>Minimize All Windows</source>
        <translation>最小化所有窗口</translation>
    </message>
    <message>
        <source>Quit Quorvel</source>
        <translation>退出 Quorvel</translation>
    </message>
    <message>
        <source>Couldn't open “%@”</source>
        <translation>无法打开“%@”</translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation>取消固定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Dark gray</source>
        <translation>深灰</translation>
    </message>
    <message>
        <source>Silver</source>
        <translation>银色</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>蓝色</translation>
    </message>
    <message>
        <source>Burgundy</source>
        <translation>酒红</translation>
    </message>
    <message>
        <source>Blush</source>
        <translation>胭脂粉</translation>
    </message>
    <message>
        <source>Cyan</source>
        <translation>青色</translation>
    </message>
    <message>
        <source>Terminal green</source>
        <translation>终端绿</translation>
    </message>
    <message>
        <source>Orange red</source>
        <translation>橙红</translation>
    </message>
    <message>
        <source>Cyber ginger</source>
        <translation>赛博姜黄</translation>
    </message>
    <message>
        <source>Indigo</source>
        <translation>靛蓝</translation>
    </message>
</context>
</TS>
