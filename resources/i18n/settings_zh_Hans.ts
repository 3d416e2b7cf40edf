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
    <!-- Task Bar and Dock panes -->
    <message>
        <source>Displays</source>
        <translation>显示器</translation>
    </message>
    <message>
        <source>Show taskbar on</source>
        <translation>任务栏显示于</translation>
    </message>
    <message>
        <source>All displays</source>
        <translation>所有显示器</translation>
    </message>
    <message>
        <source>Main display only</source>
        <translation>仅主显示器</translation>
    </message>
    <message>
        <source>App icons</source>
        <translation>应用图标</translation>
    </message>
    <message>
        <source>Combine by app</source>
        <translation>按应用合并</translation>
    </message>
    <message>
        <source>Show each window</source>
        <translation>显示每个窗口</translation>
    </message>
    <message>
        <source>Always show icons without names</source>
        <translation>始终只显示图标，不显示名称</translation>
    </message>
    <message>
        <source>Click again to hide app</source>
        <translation>再次点按以隐藏应用</translation>
    </message>
    <message>
        <source>Click again to minimize window</source>
        <translation>再次点按以最小化窗口</translation>
    </message>
    <message>
        <source>Show unread dots</source>
        <translation>显示未读圆点</translation>
    </message>
    <message>
        <source>Show dots for open pinned apps</source>
        <translation>为已打开的固定应用显示圆点</translation>
    </message>
    <message>
        <source>Show Desktop</source>
        <translation>显示桌面</translation>
    </message>
    <message>
        <source>Minimize all windows with shortcut</source>
        <translation>使用快捷键最小化所有窗口</translation>
    </message>
    <message>
        <source>Hidden Apps</source>
        <translation>隐藏的应用</translation>
    </message>
    <message>
        <source>Pinned apps are always shown.</source>
        <translation>固定的应用始终显示。</translation>
    </message>
    <message>
        <source>No apps hidden</source>
        <translation>没有隐藏的应用</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>移除</translation>
    </message>
    <message>
        <source>Hide an app…</source>
        <translation>隐藏应用…</translation>
    </message>
    <message>
        <source>No apps to add</source>
        <translation>没有可添加的应用</translation>
    </message>
    <message>
        <source>This desktop has no Dock. These settings apply on a desktop that has one.</source>
        <translation>此桌面没有程序坞。这些设置在有程序坞的桌面上生效。</translation>
    </message>
    <message>
        <source>Auto-hide the Dock</source>
        <translation>自动隐藏程序坞</translation>
    </message>
    <message>
        <source>Dock position</source>
        <translation>程序坞位置</translation>
    </message>
    <message>
        <source>Right edge (recommended)</source>
        <translation>右边缘（推荐）</translation>
    </message>
    <message>
        <source>Left edge</source>
        <translation>左边缘</translation>
    </message>
    <message>
        <source>Keep current position</source>
        <translation>保持当前位置</translation>
    </message>
    <message>
        <source>Show Dock after pointing at edge</source>
        <translation>指向边缘后显示程序坞</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>系统默认</translation>
    </message>
    <message>
        <source>2 seconds</source>
        <translation>2 秒</translation>
    </message>
    <message>
        <source>5 seconds</source>
        <translation>5 秒</translation>
    </message>
    <message>
        <source>10 seconds</source>
        <translation>10 秒</translation>
    </message>
    <message>
        <source>20 seconds</source>
        <translation>20 秒</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>永不</translation>
    </message>
    <message>
        <source>At the bottom, the Dock may cover the taskbar.</source>
        <translation>位于底部时，程序坞可能会遮住任务栏。</translation>
    </message>
    <message>
        <source>Your previous Dock settings are restored.</source>
        <translation>已恢复你之前的程序坞设置。</translation>
    </message>
    <message>
        <source>Quitting Quorvel restores your Dock settings.</source>
        <translation>退出 Quorvel 时会恢复你的程序坞设置。</translation>
    </message>
</context>
</TS>
