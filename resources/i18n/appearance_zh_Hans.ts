<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Taskbar height</source>
        <translation>任务栏高度</translation>
    </message>
    <message>
        <source>Short</source>
        <translation>矮</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>中</translation>
    </message>
    <message>
        <source>Tall</source>
        <translation>高</translation>
    </message>
    <message>
        <source>Theme</source>
        <translation>主题</translation>
    </message>
    <message>
        <source>Light</source>
        <translation>浅色</translation>
    </message>
    <message>
        <source>Dark</source>
        <translation>深色</translation>
    </message>
    <message>
        <source>Neo Silver</source>
        <translation>Neo 银</translation>
    </message>
    <message>
        <source>Neo Blush</source>
        <translation>Neo 绯红</translation>
    </message>
    <message>
        <source>Neo Citrus</source>
        <translation>Neo 柑橘</translation>
    </message>
    <message>
        <source>Neo Indigo</source>
        <translation>Neo 靛蓝</translation>
    </message>
    <message>
        <source>Selection color</source>
        <translation>选中颜色</translation>
    </message>
    <message>
        <source>Transparency</source>
        <translation>透明度</translation>
    </message>
    <message>
        <source>Opaque</source>
        <translation>不透明</translation>
    </message>
    <message>
        <source>Transparent</source>
        <translation>透明</translation>
    </message>
    <message>
        <source>Start Button</source>
        <translation>开始按钮</translation>
    </message>
    <message>
        <source>Icon</source>
        <translation>图标</translation>
    </message>
    <message>
        <source>Choose image…</source>
        <translation>选择图片…</translation>
    </message>
    <message>
        <source>Follow the pointer</source>
        <translation>目光跟随指针</translation>
    </message>
    <message>
        <source>Idle animations</source>
        <translation>空闲动画</translation>
    </message>
    <message>
        <source>Shape</source>
        <translation>形状</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>方形</translation>
    </message>
    <message>
        <source>Rounded square</source>
        <translation>圆角方形</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>圆形</translation>
    </message>
    <message>
        <source>Clock</source>
        <translation>时钟</translation>
    </message>
    <message>
        <source>Show time</source>
        <translation>显示时间</translation>
    </message>
    <message>
        <source>Show date</source>
        <translation>显示日期</translation>
    </message>
    <message>
        <source>Show battery</source>
        <translation>显示电池</translation>
    </message>
    <message>
        <source>Crop icon</source>
        <translation>裁剪图标</translation>
    </message>
    <message>
        <source>Drag to position; use the slider to zoom.</source>
        <translation>拖动以调整位置；用滑块缩放。</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Looks deep in thought, but is really plotting a little mischief. Gets caught, puts on innocent eyes. When tired, naps anywhere; wakes up ready for another bit of fun.</source>
        <translation>看上去在沉思，其实在谋划一点小小的恶作剧。被抓个正着就摆出无辜的眼神。累了随处一躺就睡，醒来又准备好再玩一会儿。</translation>
    </message>
    <message>
        <source>“Enough for today. More mischief tomorrow.”</source>
        <translation>“今天就到这儿，明天再接着捣蛋。”</translation>
    </message>
    <message>
        <source>Messy ears, an unkempt tail, and no plans to fix either. A full belly, good sleep, and someone to daydream with make a perfect day. A little tail wag is enough of an answer to life.</source>
        <translation>耳朵乱糟糟，尾巴也不修边幅，而且完全不打算收拾。吃饱、睡好，再有个人一起发呆，就是完美的一天。轻轻摇一摇尾巴，便足以回答人生。</translation>
    </message>
    <message>
        <source>“If nothing urgent comes up, time for a little nap.”</source>
        <translation>“要是没什么急事，就先打个小盹吧。”</translation>
    </message>
    <message>
        <source>Quietly watches the world from a corner. Wants to try everything, usually for about three minutes. Squeaks when someone steals the cheese, sulks a little, then peeks out again.</source>
        <translation>躲在角落里静静地看着这个世界。什么都想试一试，通常只坚持三分钟。奶酪被偷了会吱吱叫，闷闷不乐一会儿，又探出头来。</translation>
    </message>
    <message>
        <source>“Three minutes still counts as love.”</source>
        <translation>“三分钟也算是爱。”</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>图像</translation>
    </message>
</context>
</TS>
