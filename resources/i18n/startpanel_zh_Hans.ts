<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Search apps</source>
        <translation>搜索应用</translation>
    </message>
    <message>
        <source>Loading apps…</source>
        <translation>正在载入应用…</translation>
    </message>
    <message>
        <source>No results</source>
        <translation>无结果</translation>
    </message>
    <message>
        <source>Pinned</source>
        <translation>已固定</translation>
    </message>
    <message>
        <source>Recent</source>
        <translation>最近使用</translation>
    </message>
    <message>
        <source>All Apps</source>
        <translation>所有应用</translation>
    </message>
    <message>
        <source>Pin to Start</source>
        <translation>固定到开始菜单</translation>
    </message>
    <message>
        <source>Unpin from Start</source>
        <translation>从开始菜单取消固定</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Lock Screen</source>
        <translation>锁定屏幕</translation>
    </message>
    <message>
        <source>Sleep</source>
        <translation>睡眠</translation>
    </message>
    <message>
        <source>Log Out</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Restart</source>
        <translation>重新启动</translation>
    </message>
    <message>
        <source>Shut Down</source>
        <translation>关机</translation>
    </message>
</context>
</TS>
