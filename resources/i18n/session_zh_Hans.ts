<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Apps will quit. Unsaved work may be lost.</source>
        <translation>应用将会退出。未存储的工作可能会丢失。</translation>
    </message>
    <message>
        <source>Log out of your account?</source>
        <translation>要退出登录你的账户吗？</translation>
    </message>
    <message>
        <source>Log Out</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>Restart your Mac?</source>
        <translation>要重新启动这台电脑吗？</translation>
    </message>
    <message>
        <source>Restart</source>
        <translation>重新启动</translation>
    </message>
    <message>
        <source>Shut down your Mac?</source>
        <translation>要关闭这台电脑吗？</translation>
    </message>
    <message>
        <source>Shut Down</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>好</translation>
    </message>
    <message>
        <source>Couldn&apos;t lock the screen</source>
        <translation>无法锁定屏幕</translation>
    </message>
    <message>
        <source>Couldn&apos;t put your Mac to sleep</source>
        <translation>无法让电脑进入睡眠</translation>
    </message>
    <message>
        <source>Couldn&apos;t log out</source>
        <translation>无法退出登录</translation>
    </message>
    <message>
        <source>Couldn&apos;t restart your Mac</source>
        <translation>无法重新启动电脑</translation>
    </message>
    <message>
        <source>Couldn&apos;t shut down your Mac</source>
        <translation>无法关闭电脑</translation>
    </message>
    <message>
        <source>Allow Quorvel in System Settings ▸ Privacy &amp; Security ▸ Automation.</source>
        <translation>请在“系统设置 ▸ 隐私与安全性 ▸ 自动化”中允许 Quorvel。</translation>
    </message>
    <message>
        <source>Restart your computer?</source>
        <translation>要重新启动这台电脑吗？</translation>
    </message>
    <message>
        <source>Shut down your computer?</source>
        <translation>要关闭这台电脑吗？</translation>
    </message>
    <message>
        <source>Couldn&apos;t put your computer to sleep</source>
        <translation>无法让电脑进入睡眠</translation>
    </message>
    <message>
        <source>Couldn&apos;t restart your computer</source>
        <translation>无法重新启动电脑</translation>
    </message>
    <message>
        <source>Couldn&apos;t shut down your computer</source>
        <translation>无法关闭电脑</translation>
    </message>
    <message>
        <source>No screen locker is running.</source>
        <translation>没有正在运行的屏幕锁定程序。</translation>
    </message>
    <message>
        <source>session requests are turned off</source>
        <translation>会话请求已关闭</translation>
    </message>
</context>
</TS>
