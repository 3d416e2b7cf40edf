<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>The program&apos;s location could not be determined.</source>
        <translation>无法确定程序所在的位置。</translation>
    </message>
    <message>
        <source>The program&apos;s location cannot be used for starting at login.</source>
        <translation>程序所在的位置无法用于登录时启动。</translation>
    </message>
    <message>
        <source>The autostart folder could not be created.</source>
        <translation>无法创建自动启动文件夹。</translation>
    </message>
    <message>
        <source>The autostart entry could not be written.</source>
        <translation>无法写入自动启动项。</translation>
    </message>
    <message>
        <source>The autostart entry could not be removed.</source>
        <translation>无法移除自动启动项。</translation>
    </message>
</context>
</TS>
