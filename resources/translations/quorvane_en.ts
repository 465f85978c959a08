<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="en_US">
<!-- The English texts with their plural forms. A message with several numbers is translated line by line,
     each line keyed by itself and its form chosen by its first number. Another language: a copy of this file
     named quorvane_<language>.ts, with the translations in its language and as many forms as it has. -->
<context>
    <name>Quorvane</name>
    <message numerus="yes">
        <source>%d archives are extracted first; the counts include their files, as their tables of contents list them.</source>
        <translation>
            <numerusform>%d archive is extracted first; the counts include its files, as its table of contents lists them.</numerusform>
            <numerusform>%d archives are extracted first; the counts include their files, as their tables of contents list them.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d files added</source>
        <translation>
            <numerusform>%d file added</numerusform>
            <numerusform>%d files added</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d previous files backed up</source>
        <translation>
            <numerusform>%d previous file backed up</numerusform>
            <numerusform>%d previous files backed up</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d duplicate files ignored.</source>
        <translation>
            <numerusform>%d duplicate file ignored.</numerusform>
            <numerusform>%d duplicate files ignored.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d files could not be installed.</source>
        <translation>
            <numerusform>%d file could not be installed.</numerusform>
            <numerusform>%d files could not be installed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d items are waiting (%@): choose an installation and press Return.</source>
        <translation>
            <numerusform>%d item is waiting (%@): choose an installation and press Return.</numerusform>
            <numerusform>%d items are waiting (%@): choose an installation and press Return.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d added items removed</source>
        <translation>
            <numerusform>%d added item removed</numerusform>
            <numerusform>%d added items removed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d replaced items put back.</source>
        <translation>
            <numerusform>%d replaced item put back.</numerusform>
            <numerusform>%d replaced items put back.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d items were left as they are.</source>
        <translation>
            <numerusform>%d item was left as it is.</numerusform>
            <numerusform>%d items were left as they are.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d later updates changed the same files and are undone first:</source>
        <translation>
            <numerusform>%d later update changed the same files and is undone first:</numerusform>
            <numerusform>%d later updates changed the same files and are undone first:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The backups of the %d oldest updates are removed and those updates can no longer be undone.</source>
        <translation>
            <numerusform>The backup of the oldest update is removed and that update can no longer be undone.</numerusform>
            <numerusform>The backups of the %d oldest updates are removed and those updates can no longer be undone.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d updates can no longer be undone.</source>
        <translation>
            <numerusform>%d update can no longer be undone.</numerusform>
            <numerusform>%d updates can no longer be undone.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%d older updates can no longer be undone and stay.</source>
        <translation>
            <numerusform>%d older update can no longer be undone and stays.</numerusform>
            <numerusform>%d older updates can no longer be undone and stay.</numerusform>
        </translation>
    </message>
</context>
</TS>
