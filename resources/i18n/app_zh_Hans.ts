<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Quorvel is already running</source>
        <translation>Quorvel 已在运行</translation>
    </message>
    <message>
        <source>Quit the running copy of Quorvel, then open this copy again. Only one copy can run at a time.</source>
        <translation>请先退出正在运行的 Quorvel，再重新打开这一份。同一时间只能运行一份 Quorvel。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>好</translation>
    </message>
    <message>
        <source>Auto-hide the Dock?</source>
        <translation>自动隐藏程序坞？</translation>
    </message>
    <message>
        <source>Quorvel uses the bottom edge. The Dock returns to its previous settings when you quit.</source>
        <translation>Quorvel 会占用屏幕底部边缘。退出 Quorvel 后，程序坞会恢复之前的设置。</translation>
    </message>
    <message>
        <source>Move to right edge</source>
        <translation>移到右侧边缘</translation>
    </message>
    <message>
        <source>Keep current position</source>
        <translation>保持当前位置</translation>
    </message>
    <message>
        <source>Leave Dock unchanged</source>
        <translation>不更改程序坞</translation>
    </message>
    <message>
        <source>Open Settings…</source>
        <translation>打开设置…</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>检查更新…</translation>
    </message>
    <message>
        <source>Quit Quorvel</source>
        <translation>退出 Quorvel</translation>
    </message>
</context>
</TS>
