<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>Quorvel</name>
    <message>
        <source>Duvar the cat</source>
        <translation>小猫 Duvar</translation>
    </message>
    <message>
        <source>Ziruziz the dog</source>
        <translation>小狗 Ziruziz</translation>
    </message>
    <message>
        <source>Vivu the mouse</source>
        <translation>小老鼠 Vivu</translation>
    </message>
</context>
</TS>
