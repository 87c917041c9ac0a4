<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ExportFile</name>
    <message>
        <location filename="../GroupExport.cpp" line="145"/>
        <source>Something that must not be replaced came to its place meanwhile; it was left as it is.</source>
        <translation>Inzwischen ist an ihre Stelle etwas gekommen, das nicht ersetzt werden darf; es blieb unverändert.</translation>
    </message>
</context>
<context>
    <name>GroupsDlg</name>
    <message>
        <location filename="../GroupsDlg.ui" line="6"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="169"/>
        <source>Find Look-alike Groups</source>
        <translation>Gruppen ähnlicher Bilder finden</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="21"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="171"/>
        <source>&amp;Folder:</source>
        <translation>&amp;Ordner:</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="22"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="173"/>
        <source>Group the pictures of a folder</source>
        <translation>Die Bilder eines Ordners gruppieren</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="28"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="176"/>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="33"/>
        <location filename="../GroupsDlg.ui" line="51"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="178"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="189"/>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="34"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="180"/>
        <source>Browse for the folder</source>
        <translation>Ordner auswählen</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="40"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="182"/>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="41"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="184"/>
        <source>Group the pictures of an index file</source>
        <translation>Die Bilder einer Indexdatei gruppieren</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="46"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="187"/>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="52"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="191"/>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="58"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="193"/>
        <source>Colour &amp;bits (1–4):</source>
        <translation>Farb&amp;bits (1–4):</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="65"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="196"/>
        <source>Colour bits</source>
        <translation>Farbbits</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="74"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="198"/>
        <source>&amp;Match rate (0–100 %):</source>
        <translation>&amp;Mindestquote (0–100 %):</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="81"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="201"/>
        <source>Match rate in percent</source>
        <translation>Mindestübereinstimmung in Prozent</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="99"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="203"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="105"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="204"/>
        <source>Find Groups</source>
        <translation>Gruppen finden</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="14"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="265"/>
        <source>Every picture of a folder or an index file is compared with every other. A group holds the pictures that match at the match rate and are alike in structure at the similarity; its reference is the copy to keep.</source>
        <translation>Jedes Bild eines Ordners oder einer Indexdatei wird mit jedem anderen verglichen. Eine Gruppe enthält die Bilder, die mit der Mindestquote übereinstimmen und sich im Aufbau auf der gewählten Ähnlichkeitsstufe gleichen; ihre Referenz ist die zu behaltende Kopie.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="92"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="298"/>
        <source>&amp;Similarity:</source>
        <translation>Ähnlichkeits&amp;stufe:</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="98"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="300"/>
        <source>Similarity</source>
        <translation>Ähnlichkeitsstufe</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="109"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="302"/>
        <source>Copy to &amp;keep:</source>
        <translation>Zu behaltende &amp;Kopie:</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="115"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="304"/>
        <source>Which copy leads each group as the one to keep</source>
        <translation>Welche Kopie jede Gruppe als die zu behaltende anführt</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="126"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="306"/>
        <source>Pr&amp;eferred folders:</source>
        <translation>Bevorzugte Or&amp;dner:</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="133"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="308"/>
        <source>Preferred folders</source>
        <translation>Bevorzugte Ordner</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="134"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="311"/>
        <source>A picture under one of these folders leads its group before any other; the first folder listed wins first.</source>
        <translation>Ein Bild unter einem dieser Ordner führt seine Gruppe vor allen anderen an; der zuerst aufgeführte Ordner geht vor.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="146"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="313"/>
        <source>&amp;Add…</source>
        <translation>&amp;Hinzufügen …</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="147"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="315"/>
        <source>Add a preferred folder</source>
        <translation>Einen bevorzugten Ordner hinzufügen</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="153"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="317"/>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.ui" line="154"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_GroupsDlg.h" line="319"/>
        <source>Remove the chosen preferred folder</source>
        <translation>Den gewählten bevorzugten Ordner entfernen</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../MainWindow.ui" line="9"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="226"/>
        <source>Ovrin</source>
        <translation>Ovrin</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="41"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="273"/>
        <source>Hits</source>
        <translation>Treffer</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="60"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="276"/>
        <source>Look-alike groups</source>
        <translation>Gruppen ähnlicher Bilder</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="77"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="279"/>
        <source>Current file</source>
        <translation>Aktuelle Datei</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="89"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="282"/>
        <source>Result of the last run</source>
        <translation>Ergebnis des letzten Laufs</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="95"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="285"/>
        <source>Progress counts</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="102"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="288"/>
        <source>Index file read</source>
        <translation>Gelesener Teil der Indexdatei</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="107"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="290"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="118"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="291"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="132"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="292"/>
        <source>&amp;Hits</source>
        <translation>&amp;Treffer</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="145"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="227"/>
        <source>&amp;Search…</source>
        <translation>&amp;Suchen …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="146"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="229"/>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="149"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="231"/>
        <source>Create &amp;Index File…</source>
        <translation>&amp;Indexdatei anlegen …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="150"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="233"/>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="153"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="235"/>
        <source>Find Look-alike &amp;Groups…</source>
        <translation>&amp;Gruppen ähnlicher Bilder finden …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="154"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="237"/>
        <source>Ctrl+G</source>
        <translation>Ctrl+G</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="157"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="239"/>
        <source>S&amp;top</source>
        <translation>S&amp;toppen</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="160"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="240"/>
        <source>&amp;Export Hits…</source>
        <translation>Treffer &amp;exportieren …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="161"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="242"/>
        <source>Ctrl+E</source>
        <translation>Ctrl+E</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="164"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="244"/>
        <source>E&amp;xport Groups…</source>
        <translation>Gruppen e&amp;xportieren …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="165"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="246"/>
        <source>Ctrl+Shift+E</source>
        <translation>Ctrl+Shift+E</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="172"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="252"/>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="173"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="254"/>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="176"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="256"/>
        <source>Show in &amp;Folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="177"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="258"/>
        <source>Ctrl+Shift+O</source>
        <translation>Ctrl+Shift+O</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="180"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="260"/>
        <source>&amp;Copy Paths</source>
        <translation>Pfade &amp;kopieren</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="181"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="262"/>
        <source>Ctrl+C</source>
        <translation>Ctrl+C</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="184"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="264"/>
        <source>Select All &amp;Members but the References</source>
        <translation>Alle &amp;Mitglieder außer den Referenzen auswählen</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="185"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="266"/>
        <source>Ctrl+Shift+A</source>
        <translation>Ctrl+Shift+A</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="188"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="268"/>
        <source>Move to &amp;Trash…</source>
        <translation>In den &amp;Papierkorb verschieben …</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="189"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="270"/>
        <source>Del</source>
        <translation>Del</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="168"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="248"/>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location filename="../MainWindow.ui" line="169"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_MainWindow.h" line="250"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
</context>
<context>
    <name>Ovrin</name>
    <message>
        <location filename="../Ovrin.cpp" line="231"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="236"/>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <location filename="../RunReport.cpp" line="28"/>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="29"/>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="49"/>
        <source>not pictures</source>
        <translation>keine Bilder</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="51"/>
        <source>unreadable</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="53"/>
        <source>special or empty files</source>
        <translation>Sonder- oder leere Dateien</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="55"/>
        <source>too large</source>
        <translation>zu groß</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="57"/>
        <source>unreadable names</source>
        <translation>unlesbare Namen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="59"/>
        <source>folders that cannot be listed</source>
        <translation>nicht auflistbare Ordner</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="61"/>
        <source>folders reached again through links</source>
        <translation>über Links erneut erreichte Ordner</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="78"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="78"/>
        <source>%1 file skipped</source>
        <translation>%1 Datei übersprungen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="78"/>
        <source>%1 files skipped</source>
        <translation>%1 Dateien übersprungen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="84"/>
        <location filename="../RunReport.cpp" line="237"/>
        <source>%1 hit</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="84"/>
        <location filename="../RunReport.cpp" line="237"/>
        <source>%1 hits</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="87"/>
        <location filename="../RunReport.cpp" line="155"/>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="97"/>
        <source>Search failed: %1</source>
        <translation>Suche fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="99"/>
        <source>Stopped after %1 of the pictures: %2 in %3</source>
        <translation>Gestoppt nach %1 der Bilder: %2 in %3</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="101"/>
        <location filename="../RunReport.cpp" line="175"/>
        <source>%1 among %2 in %3</source>
        <translation>%1 unter %2 in %3</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="102"/>
        <location filename="../RunReport.cpp" line="159"/>
        <source>%1 picture</source>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="102"/>
        <location filename="../RunReport.cpp" line="159"/>
        <source>%1 pictures</source>
        <translation>%1 Bildern</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="106"/>
        <source>%1 entry</source>
        <translation>%1 Eintrag</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="106"/>
        <source>%1 entries</source>
        <translation>%1 Einträgen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="108"/>
        <source>Index search failed: %1</source>
        <translation>Indexsuche fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="110"/>
        <source>Index search stopped after %1: %2</source>
        <translation>Indexsuche gestoppt nach %1: %2</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="113"/>
        <source>Index search: %1 in %2</source>
        <translation>Indexsuche: %1 in %2</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="114"/>
        <source>Index search: %1 among %2 in %3</source>
        <translation>Indexsuche: %1 unter %2 in %3</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="110"/>
        <source>%1; %2 decoded again (changed since indexed), %3 left out (vanished or unreadable)</source>
        <translation>%1; %2 neu eingelesen (seit der Indizierung geändert), %3 ausgelassen (verschwunden oder nicht lesbar)</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="119"/>
        <source>%1 picture</source>
        <comment>written</comment>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="119"/>
        <source>%1 pictures</source>
        <comment>written</comment>
        <translation>%1 Bilder</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="122"/>
        <source>%1 (%2 reused, %3 decoded, %4 removed)</source>
        <translation>%1 (%2 übernommen, %3 dekodiert, %4 entfernt)</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="124"/>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="130"/>
        <location filename="../RunReport.cpp" line="143"/>
        <source>Index not written: %1</source>
        <translation>Index nicht geschrieben: %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="131"/>
        <source>Index written: %1</source>
        <translation>Index geschrieben: %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="133"/>
        <source>Index creation stopped; the index is partial (there was none before): %1</source>
        <translation>Indexerstellung gestoppt; der Index ist unvollständig (vorher gab es keinen): %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="137"/>
        <source>Index not written: %1. The existing index was kept unchanged.</source>
        <translation>Index nicht geschrieben: %1. Der vorhandene Index blieb unverändert.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="139"/>
        <source>Index creation stopped after %1; the existing index was kept unchanged.</source>
        <translation>Indexerstellung gestoppt nach %1; der vorhandene Index blieb unverändert.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="140"/>
        <source>%1 file</source>
        <translation>%1 Datei</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="140"/>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="142"/>
        <source>Index not written.</source>
        <translation>Index nicht geschrieben.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="162"/>
        <source>Grouping failed: %1</source>
        <translation>Gruppierung fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="164"/>
        <source>Grouping stopped after %1 in %2; no groups are shown</source>
        <translation>Gruppierung gestoppt nach %1 in %2; es werden keine Gruppen gezeigt</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="165"/>
        <source>%1 picture read</source>
        <translation>%1 gelesenen Bild</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="165"/>
        <source>%1 pictures read</source>
        <translation>%1 gelesenen Bildern</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="172"/>
        <source>No look-alike groups among %1 in %2</source>
        <translation>Keine Gruppen ähnlicher Bilder unter %1 in %2</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="173"/>
        <source>%1 group</source>
        <translation>%1 Gruppe</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="173"/>
        <source>%1 groups</source>
        <translation>%1 Gruppen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="177"/>
        <source>%1 holding %2 of %3 in %4</source>
        <translation>%1 mit %2 von %3 in %4</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="179"/>
        <source>%1 picture</source>
        <comment>of all</comment>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="179"/>
        <source>%1 pictures</source>
        <comment>of all</comment>
        <translation>%1 Bildern</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="185"/>
        <source>Not started. %1</source>
        <translation>Nicht gestartet. %1</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="196"/>
        <source>A run is going on.</source>
        <translation>Es läuft bereits ein Vorgang.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="199"/>
        <source>The target is no picture Ovrin can read.</source>
        <translation>Die Vorlage ist kein Bild, das Ovrin lesen kann.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="202"/>
        <source>Neither a folder nor an index file was named.</source>
        <translation>Weder ein Ordner noch eine Indexdatei wurde angegeben.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="205"/>
        <source>The search method is unknown.</source>
        <translation>Die Suchmethode ist unbekannt.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="208"/>
        <source>The pixel number is outside what a search can use.</source>
        <translation>Die Pixelzahl liegt außerhalb dessen, was eine Suche verwenden kann.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="211"/>
        <source>No folder was named.</source>
        <translation>Es wurde kein Ordner angegeben.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="214"/>
        <source>The folder does not exist or cannot be listed.</source>
        <translation>Der Ordner existiert nicht oder kann nicht gelesen werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="217"/>
        <source>No index file was named.</source>
        <translation>Es wurde keine Indexdatei angegeben.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="220"/>
        <source>The index file cannot be used.</source>
        <translation>Die Indexdatei kann nicht verwendet werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="223"/>
        <source>No worker thread could be started.</source>
        <translation>Es konnte kein Arbeits-Thread gestartet werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="227"/>
        <source>The file cannot be written there.</source>
        <translation>Die Datei kann dort nicht geschrieben werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="235"/>
        <location filename="../RunReport.cpp" line="255"/>
        <source>%1 file examined</source>
        <translation>%1 Datei geprüft</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="235"/>
        <location filename="../RunReport.cpp" line="255"/>
        <source>%1 files examined</source>
        <translation>%1 Dateien geprüft</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="249"/>
        <source>%1 % of the pairs compared</source>
        <translation>%1 % der Paare verglichen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="250"/>
        <source>%1 group so far</source>
        <translation>bisher %1 Gruppe</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="251"/>
        <source>%1 groups so far</source>
        <translation>bisher %1 Gruppen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="253"/>
        <source>Reading the index file</source>
        <translation>Indexdatei wird gelesen</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="268"/>
        <source>No such file.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="270"/>
        <source>Permission denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="272"/>
        <source>Not a regular file.</source>
        <translation>Keine reguläre Datei.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="274"/>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="276"/>
        <source>A system file, not a picture.</source>
        <translation>Eine Systemdatei, kein Bild.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="278"/>
        <source>Not a picture Ovrin can read.</source>
        <translation>Kein Bild, das Ovrin lesen kann.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="280"/>
        <source>Too large to decode within the memory budget.</source>
        <translation>Zu groß, um im Speicherbudget dekodiert zu werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="282"/>
        <source>The file could not be read.</source>
        <translation>Die Datei konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="284"/>
        <source>Stopped while decoding.</source>
        <translation>Beim Dekodieren gestoppt.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="286"/>
        <source>Out of memory.</source>
        <translation>Kein Speicher mehr frei.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="306"/>
        <source>It cannot be reached (%1).</source>
        <translation>Sie ist nicht erreichbar (%1).</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="308"/>
        <source>No home folder is known to hold the trash (HOME is not set).</source>
        <translation>Es ist kein Home-Ordner bekannt, der den Papierkorb aufnehmen kann (HOME ist nicht gesetzt).</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="310"/>
        <source>The trash %1 cannot be used (%2).</source>
        <translation>Der Papierkorb %1 kann nicht verwendet werden (%2).</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="312"/>
        <source>It lies on another file system than the home folder, and %1 has no trash that can be used (%2). Pictures are never copied between file systems.</source>
        <translation>Sie liegt auf einem anderen Dateisystem als der Home-Ordner, und %1 hat keinen verwendbaren Papierkorb (%2). Bilder werden nie zwischen Dateisystemen kopiert.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="316"/>
        <source>The trash %1 could not record where it came from (%2).</source>
        <translation>Der Papierkorb %1 konnte nicht festhalten, woher sie kam (%2).</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="318"/>
        <source>It could not be moved into the trash %1 (%2).</source>
        <translation>Sie konnte nicht in den Papierkorb %1 verschoben werden (%2).</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="320"/>
        <source>The trash %1 lies on another file system, and pictures are never copied between file systems.</source>
        <translation>Der Papierkorb %1 liegt auf einem anderen Dateisystem, und Bilder werden nie zwischen Dateisystemen kopiert.</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="161"/>
        <source>%1 changed picture decoded again</source>
        <translation>%1 geändertes Bild neu dekodiert</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="162"/>
        <source>%1 changed pictures decoded again</source>
        <translation>%1 geänderte Bilder neu dekodiert</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="164"/>
        <source>%1 entry left out as its file is gone or unreadable</source>
        <translation>%1 Eintrag ausgelassen, da seine Datei fehlt oder unlesbar ist</translation>
    </message>
    <message>
        <location filename="../RunReport.cpp" line="165"/>
        <source>%1 entries left out as their files are gone or unreadable</source>
        <translation>%1 Einträge ausgelassen, da ihre Dateien fehlen oder unlesbar sind</translation>
    </message>
</context>
<context>
    <name>TCreateIndexFileDlg</name>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="6"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="127"/>
        <source>Create Index File</source>
        <translation>Indexdatei anlegen</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="26"/>
        <location filename="../TCreateIndexFileDlg.ui" line="44"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="132"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="140"/>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="14"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="128"/>
        <source>&amp;Folder to index:</source>
        <translation>&amp;Zu indizierender Ordner:</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="21"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="130"/>
        <source>Folder to index</source>
        <translation>Zu indizierender Ordner</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="27"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="134"/>
        <source>Browse for the folder to index</source>
        <translation>Zu indizierenden Ordner auswählen</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="33"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="136"/>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="39"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="138"/>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="45"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="142"/>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="51"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="144"/>
        <source>&amp;Rebuild: decode every picture again</source>
        <translation>&amp;Neu aufbauen: jedes Bild erneut dekodieren</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="52"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="146"/>
        <source>By default an existing index of the same pixel number is updated: unchanged pictures keep their signatures and only new or changed ones are decoded.</source>
        <translation>Standardmäßig wird ein vorhandener Index gleicher Pixelzahl aktualisiert: Unveränderte Bilder behalten ihre Signaturen, nur neue oder geänderte werden dekodiert.</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="64"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="148"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.ui" line="70"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TCreateIndexFileDlg.h" line="149"/>
        <source>Create</source>
        <translation>Anlegen</translation>
    </message>
</context>
<context>
    <name>TSearchDlg</name>
    <message>
        <location filename="../TSearchDlg.ui" line="6"/>
        <location filename="../TSearchDlg.ui" line="116"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="183"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="225"/>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="14"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="184"/>
        <source>&amp;Target picture:</source>
        <translation>&amp;Vorlage:</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="21"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="186"/>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="27"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="190"/>
        <source>Browse for the target picture</source>
        <translation>Vorlage auswählen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="33"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="192"/>
        <source>&amp;Folder:</source>
        <translation>&amp;Ordner:</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="34"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="194"/>
        <source>Search a folder</source>
        <translation>Einen Ordner durchsuchen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="39"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="197"/>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="45"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="201"/>
        <source>Browse for the folder</source>
        <translation>Ordner auswählen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="51"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="203"/>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="52"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="205"/>
        <source>Search an index file</source>
        <translation>Eine Indexdatei durchsuchen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="57"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="208"/>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="63"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="212"/>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="69"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="214"/>
        <source>Colour &amp;bits (1–4):</source>
        <translation>Farb&amp;bits (1–4):</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="76"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="217"/>
        <source>Colour bits</source>
        <translation>Farbbits</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="85"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="219"/>
        <source>&amp;Match rate (0–100 %):</source>
        <translation>&amp;Mindestquote (0–100 %):</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="92"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="222"/>
        <source>Match rate in percent</source>
        <translation>Mindestübereinstimmung in Prozent</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="26"/>
        <location filename="../TSearchDlg.ui" line="44"/>
        <location filename="../TSearchDlg.ui" line="62"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="188"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="199"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="210"/>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.ui" line="110"/>
        <location filename="../../../build/normal/src/ui/ovrin_ui_autogen/include/ui_TSearchDlg.h" line="224"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>UiHooks</name>
    <message>
        <location filename="../UiHooks.cpp" line="55"/>
        <source>No such file.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="58"/>
        <source>No program is set up to open this kind of file.</source>
        <translation>Für diese Art von Datei ist kein Programm eingerichtet.</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="61"/>
        <source>The program that opens this kind of file failed.</source>
        <translation>Das Programm für diese Art von Datei ist gescheitert.</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="64"/>
        <source>The desktop could not open it (xdg-open ended with status %1).</source>
        <translation>Die Arbeitsumgebung konnte sie nicht öffnen (xdg-open endete mit Status %1).</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="88"/>
        <source>No program to open files is installed (xdg-open was not found).</source>
        <translation>Es ist kein Programm zum Öffnen von Dateien installiert (xdg-open wurde nicht gefunden).</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="317"/>
        <source>Pictures (%1)</source>
        <translation>Bilder (%1)</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="318"/>
        <location filename="../UiHooks.cpp" line="323"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location filename="../UiHooks.cpp" line="323"/>
        <source>Index files (*.ovi)</source>
        <translation>Indexdateien (*.ovi)</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::ContextStrip</name>
    <message>
        <location filename="../ContextStrip.cpp" line="71"/>
        <source>Search context</source>
        <translation>Suchkontext</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="72"/>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="86"/>
        <source>Target:</source>
        <translation>Vorlage:</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="86"/>
        <source>Finding:</source>
        <translation>Gesucht:</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="87"/>
        <source>Look-alike groups</source>
        <translation>Gruppen ähnlicher Bilder</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="90"/>
        <source>Index file:</source>
        <translation>Indexdatei:</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="90"/>
        <source>Folder:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="93"/>
        <source>Bits %1 · match rate %2 %</source>
        <translation>Bits %1 · Mindestquote %2 %</translation>
    </message>
    <message>
        <location filename="../ContextStrip.cpp" line="96"/>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::GroupTreeModel</name>
    <message>
        <location filename="../GroupTreeModel.cpp" line="179"/>
        <source>%1 (moved to the trash)</source>
        <translation>%1 (in den Papierkorb verschoben)</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="181"/>
        <location filename="../GroupTreeModel.cpp" line="199"/>
        <source>Reference</source>
        <translation>Referenz</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="189"/>
        <source>%1 look-alike</source>
        <translation>%1 ähnliches Bild</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="189"/>
        <source>%1 look-alikes</source>
        <translation>%1 ähnliche Bilder</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="190"/>
        <source>%1
Match rate %2 %, likeness %3 % against the reference</source>
        <translation>%1
Übereinstimmung %2 %, Ähnlichkeit %3 % mit der Referenz</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="195"/>
        <source>Group %1, %2 pictures, reference %3</source>
        <translation>Gruppe %1, %2 Bilder, Referenz %3</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="199"/>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="201"/>
        <source>likeness %1 percent</source>
        <translation>Ähnlichkeit %1 Prozent</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="231"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="233"/>
        <source>Rate (%)</source>
        <translation>Quote (%)</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="235"/>
        <source>Likeness (%)</source>
        <translation>Ähnlichkeit (%)</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="241"/>
        <source>Each group&apos;s reference, with the pictures that look like it beneath</source>
        <translation>Die Referenz jeder Gruppe, darunter die Bilder, die ihr ähneln</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="243"/>
        <source>Match rate against the group&apos;s reference, in percent</source>
        <translation>Übereinstimmung mit der Referenz der Gruppe, in Prozent</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="187"/>
        <source>Also at: %1</source>
        <translation>Auch unter: %1</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="199"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="201"/>
        <source>also at %1 other path</source>
        <translation>auch unter %1 weiteren Pfad</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="201"/>
        <source>also at %1 other paths</source>
        <translation>auch unter %1 weiteren Pfaden</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="209"/>
        <source>%1
Group %2: the copy to keep and %3</source>
        <translation>%1
Gruppe %2: die zu behaltende Kopie und %3</translation>
    </message>
    <message>
        <location filename="../GroupTreeModel.cpp" line="271"/>
        <source>How alike in structure the picture and the group&apos;s reference are, in percent</source>
        <translation>Wie sehr sich das Bild und die Referenz der Gruppe im Aufbau ähneln, in Prozent</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::GroupsDlg</name>
    <message>
        <location filename="../GroupsDlg.cpp" line="68"/>
        <source>“%1” cannot be used. Correct it before the grouping starts.</source>
        <translation>„%1“ ist nicht verwendbar. Bitte vor dem Gruppieren korrigieren.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="81"/>
        <source>Colour bits must be a whole number from 1 to 4.</source>
        <translation>Die Farbbits müssen eine ganze Zahl von 1 bis 4 sein.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="85"/>
        <source>The match rate must be a whole number from 0 to 100.</source>
        <translation>Die Mindestquote muss eine ganze Zahl von 0 bis 100 sein.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="93"/>
        <source>The folder cannot be grouped.</source>
        <translation>Der Ordner kann nicht gruppiert werden.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="94"/>
        <source>The index file cannot be grouped.</source>
        <translation>Die Indexdatei kann nicht gruppiert werden.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="43"/>
        <source>Strict</source>
        <translation>Streng</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="44"/>
        <source>Only copies that keep the whole picture: resized, recompressed, converted.</source>
        <translation>Nur Kopien, die das ganze Bild behalten: verkleinert, neu komprimiert, umgewandelt.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="45"/>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="46"/>
        <source>Also slightly cropped or brightened copies; different photographs stay apart.</source>
        <translation>Auch leicht beschnittene oder aufgehellte Kopien; verschiedene Fotos bleiben getrennt.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="47"/>
        <source>Loose</source>
        <translation>Locker</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="48"/>
        <source>Also more edited copies; look through the groups before removing anything.</source>
        <translation>Auch stärker bearbeitete Kopien; sehen Sie die Gruppen durch, bevor Sie etwas entfernen.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="49"/>
        <source>Most pixels</source>
        <translation>Meiste Pixel</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="50"/>
        <source>The copy with the most pixels, then the largest file, the oldest, the path.</source>
        <translation>Die Kopie mit den meisten Pixeln, dann die größte Datei, die älteste, der Pfad.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="51"/>
        <source>Largest file</source>
        <translation>Größte Datei</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="52"/>
        <source>The largest file, then the most pixels, the oldest, the path.</source>
        <translation>Die größte Datei, dann die meisten Pixel, die älteste, der Pfad.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="53"/>
        <source>Oldest</source>
        <translation>Älteste</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="54"/>
        <source>The copy modified longest ago, then the most pixels, the largest file, the path.</source>
        <translation>Die am längsten nicht geänderte Kopie, dann die meisten Pixel, die größte Datei, der Pfad.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="55"/>
        <source>Newest</source>
        <translation>Neueste</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="56"/>
        <source>The copy modified last, then the most pixels, the largest file, the path.</source>
        <translation>Die zuletzt geänderte Kopie, dann die meisten Pixel, die größte Datei, der Pfad.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="57"/>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="58"/>
        <source>The path that sorts first.</source>
        <translation>Der Pfad, der in der Sortierung zuerst kommt.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="144"/>
        <source>A preferred folder cannot be used.</source>
        <translation>Ein bevorzugter Ordner kann nicht verwendet werden.</translation>
    </message>
    <message>
        <location filename="../GroupsDlg.cpp" line="146"/>
        <source>It does not exist or is no folder. Remove it, or add it again.</source>
        <translation>Er existiert nicht oder ist kein Ordner. Entfernen Sie ihn oder fügen Sie ihn erneut hinzu.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::HitListModel</name>
    <message>
        <location filename="../HitListModel.cpp" line="86"/>
        <source>%1 (the target)</source>
        <translation>%1 (die Vorlage)</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="90"/>
        <source>Match rate %1 %, likeness %2 %</source>
        <translation>Übereinstimmung %1 %, Ähnlichkeit %2 %</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="93"/>
        <source>%1
This is the target picture.</source>
        <translation>%1
Das ist die Vorlage.</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="97"/>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="98"/>
        <source>%1, the target</source>
        <translation>%1, die Vorlage</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="126"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="126"/>
        <source>Rate (%)</source>
        <translation>Quote (%)</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="129"/>
        <source>Match rate in percent; equal rates are ordered by likeness</source>
        <translation>Übereinstimmung in Prozent; gleiche Werte sind nach Ähnlichkeit geordnet</translation>
    </message>
    <message>
        <location filename="../HitListModel.cpp" line="130"/>
        <source>Full path of the picture</source>
        <translation>Vollständiger Pfad des Bildes</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::Ovrin</name>
    <message>
        <location filename="../Ovrin.cpp" line="130"/>
        <source>Drop a picture and a folder here, or choose File → Search…</source>
        <translation>Ziehen Sie ein Bild und einen Ordner hierher oder wählen Sie Datei → Suchen …</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="188"/>
        <source>Ctrl+.</source>
        <translation>Ctrl+.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="203"/>
        <source>Search or stop</source>
        <translation>Suchen oder stoppen</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="441"/>
        <location filename="../Ovrin.cpp" line="457"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="464"/>
        <source>target “%1”</source>
        <translation>Vorlage „%1“</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="469"/>
        <source>folder “%1”</source>
        <translation>Ordner „%1“</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="477"/>
        <source>index file “%1” (the next search uses it)</source>
        <translation>Indexdatei „%1“ (die nächste Suche verwendet sie)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="481"/>
        <source>Taken: %1.</source>
        <translation>Übernommen: %1.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="483"/>
        <source>Refused: %1</source>
        <translation>Abgelehnt: %1</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="634"/>
        <source>No look-alike groups were found.</source>
        <translation>Es wurden keine Gruppen ähnlicher Bilder gefunden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="649"/>
        <source>No pictures like the target were found.</source>
        <translation>Es wurden keine Bilder gefunden, die der Vorlage ähneln.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="652"/>
        <source>The index file could not be written.</source>
        <translation>Die Indexdatei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="763"/>
        <source>The groups appear here when the grouping ends.</source>
        <translation>Die Gruppen erscheinen hier, sobald das Gruppieren endet.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="834"/>
        <source>Open %1 pictures?</source>
        <translation>%1 Bilder öffnen?</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="835"/>
        <source>Each opens in the desktop&apos;s viewer.</source>
        <translation>Jedes öffnet sich im Bildbetrachter der Arbeitsumgebung.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="835"/>
        <source>Open All</source>
        <translation>Alle öffnen</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="841"/>
        <source>The picture could not be opened.</source>
        <translation>Das Bild konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="860"/>
        <source>The folder could not be shown.</source>
        <translation>Der Ordner konnte nicht angezeigt werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="888"/>
        <source>Move “%1” to the trash?</source>
        <translation>„%1“ in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="889"/>
        <source>Move %1 pictures to the trash?</source>
        <translation>%1 Bilder in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="892"/>
        <source>They can be restored from the trash until it is emptied.</source>
        <translation>Sie lassen sich aus dem Papierkorb wiederherstellen, bis er geleert wird.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="893"/>
        <source>Move to Trash</source>
        <translation>In den Papierkorb</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="899"/>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="906"/>
        <source>No groups are left.</source>
        <translation>Es sind keine Gruppen mehr übrig.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="913"/>
        <source>%1 picture could not be moved to the trash.</source>
        <translation>%1 Bild konnte nicht in den Papierkorb verschoben werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="914"/>
        <source>%1 pictures could not be moved to the trash.</source>
        <translation>%1 Bilder konnten nicht in den Papierkorb verschoben werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="924"/>
        <location filename="../Ovrin.cpp" line="959"/>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="924"/>
        <location filename="../Ovrin.cpp" line="960"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="930"/>
        <source>The hits could not be exported.</source>
        <translation>Die Treffer konnten nicht exportiert werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="959"/>
        <source>JSON Lines files (*.jsonl *.json)</source>
        <translation>JSON-Lines-Dateien (*.jsonl *.json)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="967"/>
        <source>The groups could not be exported.</source>
        <translation>Die Gruppen konnten nicht exportiert werden.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1031"/>
        <source>Ovrin — searching…</source>
        <translation>Ovrin – sucht …</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1034"/>
        <source>Ovrin — indexing…</source>
        <translation>Ovrin – indiziert …</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1037"/>
        <source>Ovrin — grouping…</source>
        <translation>Ovrin — gruppiert …</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1040"/>
        <source>Ovrin</source>
        <translation>Ovrin</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1066"/>
        <source>No target chosen yet.</source>
        <translation>Noch keine Vorlage gewählt.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1095"/>
        <source>Select a group to see its reference here.</source>
        <translation>Eine Gruppe auswählen, um hier ihre Referenz zu sehen.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1096"/>
        <source>Select a member to compare it with its reference.</source>
        <translation>Ein Mitglied auswählen, um es mit seiner Referenz zu vergleichen.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1101"/>
        <source>The reference was moved to the trash.</source>
        <translation>Die Referenz wurde in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1106"/>
        <source>This is the group&apos;s reference. Select a member to compare it with the reference.</source>
        <translation>Dies ist die Referenz der Gruppe. Ein Mitglied auswählen, um es mit der Referenz zu vergleichen.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1123"/>
        <source>Select a hit to see it here.</source>
        <translation>Wählen Sie einen Treffer, um ihn hier zu sehen.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1143"/>
        <source>%1
Rate %2 % · likeness %3 %</source>
        <translation>%1
Quote %2 % · Ähnlichkeit %3 %</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1163"/>
        <source>%1 (the target)</source>
        <translation>%1 (die Vorlage)</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1173"/>
        <source>An index file is being written. Stop and quit?</source>
        <translation>Eine Indexdatei wird gerade geschrieben. Stoppen und beenden?</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1174"/>
        <source>Stopping keeps the index that was there before; where there was none, the index written so far stays, partial.</source>
        <translation>Beim Stoppen bleibt der vorherige Index erhalten; gab es keinen, bleibt der bisher geschriebene, unvollständige Index.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1176"/>
        <source>Stop and Quit</source>
        <translation>Stoppen und beenden</translation>
    </message>
    <message>
        <source>Checking the target “%1”… (Escape stops it)</source>
        <translation>Die Vorlage „%1“ wird geprüft … (Esc bricht ab)</translation>
    </message>
    <message>
        <source>The check of the dropped picture was stopped; the target stays as it was.</source>
        <translation>Die Prüfung des abgelegten Bildes wurde abgebrochen; die Vorlage bleibt, wie sie war.</translation>
    </message>
    <message>
        <location filename="../Ovrin.cpp" line="1145"/>
        <source>similarity %1 · keep %2</source>
        <translation>Ähnlichkeitsstufe %1 · behalten: %2</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::PreviewPane</name>
    <message>
        <location filename="../PreviewPane.cpp" line="43"/>
        <source>No target chosen yet.</source>
        <translation>Noch keine Vorlage gewählt.</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="44"/>
        <source>Select a hit to see it here.</source>
        <translation>Wählen Sie einen Treffer, um ihn hier zu sehen.</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="50"/>
        <source>Reference</source>
        <translation>Referenz</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="51"/>
        <source>Selected member</source>
        <translation>Ausgewähltes Mitglied</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="52"/>
        <source>Reference picture</source>
        <translation>Referenzbild</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="53"/>
        <source>Selected member picture</source>
        <translation>Bild des ausgewählten Mitglieds</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="54"/>
        <source>About the reference picture</source>
        <translation>Über das Referenzbild</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="55"/>
        <source>About the selected member</source>
        <translation>Über das ausgewählte Mitglied</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="57"/>
        <source>Target</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="58"/>
        <source>Selected hit</source>
        <translation>Ausgewählter Treffer</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="59"/>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="60"/>
        <source>Selected hit picture</source>
        <translation>Bild des ausgewählten Treffers</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="61"/>
        <source>About the target picture</source>
        <translation>Angaben zur Vorlage</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="62"/>
        <source>About the selected hit</source>
        <translation>Angaben zum ausgewählten Treffer</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="64"/>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="87"/>
        <source>%1 × %2 pixels</source>
        <translation>%1 × %2 Pixel</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="103"/>
        <source>This file no longer exists.</source>
        <translation>Diese Datei existiert nicht mehr.</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="105"/>
        <source>No preview: %1</source>
        <translation>Keine Vorschau: %1</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="110"/>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <location filename="../PreviewPane.cpp" line="111"/>
        <source>No preview</source>
        <translation>Keine Vorschau</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::TCreateIndexFileDlg</name>
    <message>
        <location filename="../TCreateIndexFileDlg.cpp" line="49"/>
        <source>The folder cannot be indexed.</source>
        <translation>Der Ordner kann nicht indiziert werden.</translation>
    </message>
    <message>
        <location filename="../TCreateIndexFileDlg.cpp" line="56"/>
        <source>The index file cannot be written there.</source>
        <translation>Die Indexdatei kann dort nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::TSearchDlg</name>
    <message>
        <location filename="../TSearchDlg.cpp" line="106"/>
        <source>“%1” cannot be used. Correct it before the search starts.</source>
        <translation>„%1“ ist nicht verwendbar. Korrigieren Sie den Wert, bevor die Suche beginnt.</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.cpp" line="123"/>
        <source>Colour bits must be a whole number from 1 to 4.</source>
        <translation>Die Farbbits müssen eine ganze Zahl von 1 bis 4 sein.</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.cpp" line="127"/>
        <source>The match rate must be a whole number from 0 to 100.</source>
        <translation>Die Mindestquote muss eine ganze Zahl von 0 bis 100 sein.</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.cpp" line="141"/>
        <source>The folder cannot be searched.</source>
        <translation>Der Ordner kann nicht durchsucht werden.</translation>
    </message>
    <message>
        <location filename="../TSearchDlg.cpp" line="152"/>
        <source>Not an index file.</source>
        <translation>Keine Indexdatei.</translation>
    </message>
    <message>
        <source>File load error.</source>
        <translation>Fehler beim Laden der Datei.</translation>
    </message>
    <message>
        <source>No target picture was chosen.</source>
        <translation>Es wurde keine Vorlage gewählt.</translation>
    </message>
    <message>
        <source>Choose the picture to look for under “Target picture”.</source>
        <translation>Wählen Sie unter „Vorlage“ das Bild, nach dem gesucht werden soll.</translation>
    </message>
    <message>
        <source>No folder was chosen.</source>
        <translation>Es wurde kein Ordner gewählt.</translation>
    </message>
    <message>
        <source>Choose the folder to search under “Folder”.</source>
        <translation>Wählen Sie unter „Ordner“ den Ordner, der durchsucht werden soll.</translation>
    </message>
    <message>
        <source>No index file was chosen.</source>
        <translation>Es wurde keine Indexdatei gewählt.</translation>
    </message>
    <message>
        <source>Choose the index file to search under “Index file”.</source>
        <translation>Wählen Sie unter „Indexdatei“ die Indexdatei, die durchsucht werden soll.</translation>
    </message>
    <message>
        <source>Checking the target “%1”… (Escape stops it)</source>
        <translation>Die Vorlage „%1“ wird geprüft … (Esc bricht ab)</translation>
    </message>
</context>
</TS>
