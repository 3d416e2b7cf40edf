<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>General</source>
        <translation>通用</translation>
    </message>
    <message>
        <source>Appearance</source>
        <translation>外观</translation>
    </message>
    <message>
        <source>Task Bar</source>
        <translation>任务栏</translation>
    </message>
    <message>
        <source>Dock</source>
        <translation>程序坞</translation>
    </message>
    <message>
        <source>Launch Quorvel at login</source>
        <translation>登录时启动 Quorvel</translation>
    </message>
    <message>
        <source>Allow Quorvel in Login Items to start at login.</source>
        <translation>请在登录项中允许 Quorvel，才能在登录时启动。</translation>
    </message>
    <message>
        <source>Open Login Items Settings</source>
        <translation>打开登录项设置</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>Follow System</source>
        <translation>跟随系统</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Simplified Chinese</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>Start Menu</source>
        <translation>开始菜单</translation>
    </message>
    <message>
        <source>Show shutdown and other actions</source>
        <translation>显示关机等操作</translation>
    </message>
    <message>
        <source>Open Start menu with shortcut</source>
        <translation>使用快捷键打开开始菜单</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>Shortcut is in use. Choose another.</source>
        <translation>快捷键已被占用，请另选一个。</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Check for Updates…</source>
        <translation>检查更新…</translation>
    </message>
    <message>
        <source>Couldn&apos;t set launch at login</source>
        <translation>无法设置登录时启动</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>好</translation>
    </message>
    <message>
        <source>Press your shortcut keys</source>
        <translation>请按下快捷键</translation>
    </message>
</context>
</TS>
