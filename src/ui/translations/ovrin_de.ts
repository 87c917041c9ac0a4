<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Ovrin</name>
    <message><source>Search</source><translation>Suchen</translation></message>
    <message><source>Stop</source><translation>Stopp</translation></message>
</context>
<context>
    <name>ovrin::ui::Ovrin</name>
    <message><source>Ctrl+.</source><translation>Ctrl+.</translation></message>
    <message><source>The index file could not be written.</source><translation>Die Indexdatei konnte nicht geschrieben werden.</translation></message>
</context>
<context>
    <name>ovrin::ui::HitListModel</name>
    <message><source>Match rate (%)</source><translation>Übereinstimmung (%)</translation></message>
    <message><source>File</source><translation>Datei</translation></message>
</context>
<context>
    <name>MainWindow</name>
    <message><source>Ovrin</source><translation>Ovrin</translation></message>
    <message><source>Search</source><translation>Suchen</translation></message>
    <message><source>&amp;File</source><translation>&amp;Datei</translation></message>
    <message><source>&amp;Search…</source><translation>&amp;Suchen …</translation></message>
    <message><source>Ctrl+F</source><translation>Ctrl+F</translation></message>
    <message><source>Create &amp;Index File…</source><translation>&amp;Indexdatei anlegen …</translation></message>
    <message><source>Ctrl+I</source><translation>Ctrl+I</translation></message>
    <message><source>S&amp;top</source><translation>S&amp;toppen</translation></message>
    <message><source>&amp;Open</source><translation>Ö&amp;ffnen</translation></message>
    <message><source>Ctrl+O</source><translation>Ctrl+O</translation></message>
    <message><source>&amp;Quit</source><translation>&amp;Beenden</translation></message>
    <message><source>Ctrl+Q</source><translation>Ctrl+Q</translation></message>
</context>
<context>
    <name>TSearchDlg</name>
    <message><source>Search</source><translation>Suchen</translation></message>
    <message><source>Target picture:</source><translation>Vorlage:</translation></message>
    <message><source>Browse…</source><translation>Durchsuchen …</translation></message>
    <message><source>Folder:</source><translation>Ordner:</translation></message>
    <message><source>Index file:</source><translation>Indexdatei:</translation></message>
    <message><source>Colour bits:</source><translation>Farbbits:</translation></message>
    <message><source>Match rate (%):</source><translation>Übereinstimmung (%):</translation></message>
    <message><source>Cancel</source><translation>Abbrechen</translation></message>
</context>
<context>
    <name>TCreateIndexFileDlg</name>
    <message><source>Create Index File</source><translation>Indexdatei anlegen</translation></message>
    <message><source>Folder to index:</source><translation>Zu indizierender Ordner:</translation></message>
    <message><source>Browse…</source><translation>Durchsuchen …</translation></message>
    <message><source>Index file:</source><translation>Indexdatei:</translation></message>
    <message><source>Cancel</source><translation>Abbrechen</translation></message>
    <message><source>Create</source><translation>Anlegen</translation></message>
</context>
</TS>
