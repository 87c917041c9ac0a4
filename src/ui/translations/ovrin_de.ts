<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ActionText</name>
    <message>
        <source>Move to Trash</source>
        <translation>In den Papierkorb verschieben</translation>
    </message>
    <message>
        <source>Move to Folder</source>
        <translation>In einen Ordner verschieben</translation>
    </message>
    <message>
        <source>Replace with Hard Link</source>
        <translation>Durch harten Link ersetzen</translation>
    </message>
    <message>
        <source>every other remaining copy of its group was asked for too, and one must stay</source>
        <translation>jede andere verbliebene Kopie ihrer Gruppe war ebenfalls gewählt, und eine muss bleiben</translation>
    </message>
    <message>
        <source>it is the search&apos;s target, which is only acted on when chosen alone</source>
        <translation>sie ist die Vorlage der Suche, die nur bearbeitet wird, wenn sie allein gewählt ist</translation>
    </message>
    <message>
        <source>it lies in a protected folder</source>
        <translation>sie liegt in einem geschützten Ordner</translation>
    </message>
    <message>
        <source>it lies in the protected folder %1</source>
        <translation>sie liegt im geschützten Ordner %1</translation>
    </message>
    <message>
        <source>it is another name of a picture that stays</source>
        <translation>sie ist ein anderer Name eines Bildes, das bleibt</translation>
    </message>
    <message>
        <source>it is another name of %1, which stays</source>
        <translation>sie ist ein anderer Name von %1, das bleibt</translation>
    </message>
    <message>
        <source>nothing is at this path any more</source>
        <translation>unter diesem Pfad liegt nichts mehr</translation>
    </message>
    <message>
        <source>the file changed since it was examined</source>
        <translation>die Datei hat sich geändert, seit sie untersucht wurde</translation>
    </message>
    <message>
        <source>it no longer shows the picture that was examined</source>
        <translation>sie zeigt nicht mehr das Bild, das untersucht wurde</translation>
    </message>
    <message>
        <source>it was not examined closely enough to be recognised again</source>
        <translation>sie wurde nicht genau genug untersucht, um sie wiederzuerkennen</translation>
    </message>
    <message>
        <source>a hard link cannot reach the kept copy on another file system</source>
        <translation>ein harter Link reicht nicht zur behaltenen Kopie auf einem anderen Dateisystem</translation>
    </message>
    <message>
        <source>a hard link cannot reach the kept copy %1 on another file system</source>
        <translation>ein harter Link reicht nicht zur behaltenen Kopie %1 auf einem anderen Dateisystem</translation>
    </message>
    <message>
        <source>the destination is taken</source>
        <translation>das Ziel ist belegt</translation>
    </message>
    <message>
        <source>%1 is taken already</source>
        <translation>%1 ist schon belegt</translation>
    </message>
    <message>
        <source>the file system refused (%1)</source>
        <translation>das Dateisystem hat abgelehnt (%1)</translation>
    </message>
    <message>
        <source>the file system refused: %1 (%2)</source>
        <translation>das Dateisystem hat abgelehnt: %1 (%2)</translation>
    </message>
    <message>
        <source>the action stopped before it</source>
        <translation>die Aktion endete vor ihr</translation>
    </message>
    <message>
        <source>%1 marked picture</source>
        <translation>%1 markiertes Bild</translation>
    </message>
    <message>
        <source>%1 marked pictures</source>
        <translation>%1 markierte Bilder</translation>
    </message>
    <message>
        <source>%1 selected picture</source>
        <translation>%1 ausgewähltes Bild</translation>
    </message>
    <message>
        <source>%1 selected pictures</source>
        <translation>%1 ausgewählte Bilder</translation>
    </message>
    <message>
        <source>Move the search&apos;s target %1 to the trash?</source>
        <translation>Die Vorlage der Suche, %1, in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>Move %1 to the trash?</source>
        <translation>%1 in den Papierkorb verschieben?</translation>
    </message>
    <message>
        <source>They can be brought back with Undo, or from the trash until it is emptied.</source>
        <translation>Sie lassen sich mit „Rückgängig“ zurückholen, oder aus dem Papierkorb, bis er geleert wird.</translation>
    </message>
    <message>
        <source>Move the search&apos;s target %1 to %2?</source>
        <translation>Die Vorlage der Suche, %1, nach %2 verschieben?</translation>
    </message>
    <message>
        <source>Move %1 to %2?</source>
        <translation>%1 nach %2 verschieben?</translation>
    </message>
    <message>
        <source>Below %1 they keep their folders; others keep the name of their own folder. Undo moves them back.</source>
        <translation>Unterhalb von %1 behalten sie ihre Ordner; andere behalten den Namen ihres eigenen Ordners. „Rückgängig“ verschiebt sie zurück.</translation>
    </message>
    <message>
        <source>Replace %1 with hard links to the kept copies?</source>
        <translation>%1 durch harte Links auf die behaltenen Kopien ersetzen?</translation>
    </message>
    <message>
        <source>Each file gives way to a hard link to the copy its group keeps, so both names show that copy. Undo puts the replaced files back.</source>
        <translation>Jede Datei weicht einem harten Link auf die Kopie, die ihre Gruppe behält, sodass beide Namen diese Kopie zeigen. „Rückgängig“ legt die ersetzten Dateien zurück.</translation>
    </message>
    <message>
        <source>This is the picture the search was made for.</source>
        <translation>Das ist das Bild, für das die Suche gemacht wurde.</translation>
    </message>
    <message>
        <source>A picture that changed since it was examined is left as it is.</source>
        <translation>Ein Bild, das sich seit der Untersuchung geändert hat, bleibt, wie es ist.</translation>
    </message>
    <message>
        <source>None of them can be acted on.</source>
        <translation>Keines davon kann bearbeitet werden.</translation>
    </message>
    <message>
        <source>%1, %2 in all:</source>
        <translation>%1, insgesamt %2:</translation>
    </message>
    <message>
        <source>%1 picture</source>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <translation>%1 Bilder</translation>
    </message>
    <message>
        <source>%1 picture is left as it is:</source>
        <translation>%1 Bild bleibt, wie es ist:</translation>
    </message>
    <message>
        <source>%1 pictures are left as they are:</source>
        <translation>%1 Bilder bleiben, wie sie sind:</translation>
    </message>
    <message>
        <source>Undoing %1…</source>
        <translation>„%1“ wird rückgängig gemacht …</translation>
    </message>
    <message>
        <source>Moving %1 picture to the trash…</source>
        <translation>%1 Bild wird in den Papierkorb verschoben …</translation>
    </message>
    <message>
        <source>Moving %1 pictures to the trash…</source>
        <translation>%1 Bilder werden in den Papierkorb verschoben …</translation>
    </message>
    <message>
        <source>Moving %1 picture…</source>
        <translation>%1 Bild wird verschoben …</translation>
    </message>
    <message>
        <source>Moving %1 pictures…</source>
        <translation>%1 Bilder werden verschoben …</translation>
    </message>
    <message>
        <source>Replacing %1 picture with a hard link…</source>
        <translation>%1 Bild wird durch einen harten Link ersetzt …</translation>
    </message>
    <message>
        <source>Replacing %1 pictures with hard links…</source>
        <translation>%1 Bilder werden durch harte Links ersetzt …</translation>
    </message>
    <message>
        <source>Nothing was put back</source>
        <translation>Nichts wurde zurückgelegt</translation>
    </message>
    <message>
        <source>Put back %1 picture</source>
        <translation>%1 Bild zurückgelegt</translation>
    </message>
    <message>
        <source>Put back %1 pictures</source>
        <translation>%1 Bilder zurückgelegt</translation>
    </message>
    <message>
        <source>Nothing was moved to the trash</source>
        <translation>Nichts wurde in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>Nothing was moved</source>
        <translation>Nichts wurde verschoben</translation>
    </message>
    <message>
        <source>Nothing was replaced</source>
        <translation>Nichts wurde ersetzt</translation>
    </message>
    <message>
        <source>Moved %1 picture to the trash</source>
        <translation>%1 Bild in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>Moved %1 pictures to the trash</source>
        <translation>%1 Bilder in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>Moved %1 picture</source>
        <translation>%1 Bild verschoben</translation>
    </message>
    <message>
        <source>Moved %1 pictures</source>
        <translation>%1 Bilder verschoben</translation>
    </message>
    <message>
        <source>Replaced %1 picture with a hard link</source>
        <translation>%1 Bild durch einen harten Link ersetzt</translation>
    </message>
    <message>
        <source>Replaced %1 pictures with hard links</source>
        <translation>%1 Bilder durch harte Links ersetzt</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1; refused %2: %3</source>
        <translation>%1; %2 abgelehnt: %3</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>%1 picture was left as it was.</source>
        <translation>%1 Bild blieb, wie es war.</translation>
    </message>
    <message>
        <source>%1 pictures were left as they were.</source>
        <translation>%1 Bilder blieben, wie sie waren.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>ExportFile</name>
    <message>
        <source>Something that must not be replaced came to its place meanwhile; it was left as it is.</source>
        <translation>Inzwischen ist an ihre Stelle etwas gekommen, das nicht ersetzt werden darf; es blieb unverändert.</translation>
    </message>
</context>
<context>
    <name>GroupsDlg</name>
    <message>
        <source>Find Look-alike Groups</source>
        <translation>Gruppen ähnlicher Bilder finden</translation>
    </message>
    <message>
        <source>&amp;Folder:</source>
        <translation>&amp;Ordner:</translation>
    </message>
    <message>
        <source>Group the pictures of a folder</source>
        <translation>Die Bilder eines Ordners gruppieren</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <source>Browse for the folder</source>
        <translation>Ordner auswählen</translation>
    </message>
    <message>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <source>Group the pictures of an index file</source>
        <translation>Die Bilder einer Indexdatei gruppieren</translation>
    </message>
    <message>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <source>Colour &amp;bits (1–4):</source>
        <translation>Farb&amp;bits (1–4):</translation>
    </message>
    <message>
        <source>Colour bits</source>
        <translation>Farbbits</translation>
    </message>
    <message>
        <source>&amp;Match rate (0–100 %):</source>
        <translation>&amp;Mindestquote (0–100 %):</translation>
    </message>
    <message>
        <source>Match rate in percent</source>
        <translation>Mindestübereinstimmung in Prozent</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Find Groups</source>
        <translation>Gruppen finden</translation>
    </message>
    <message>
        <source>Every picture of a folder or an index file is compared with every other. A group holds the pictures that match at the match rate and are alike in structure at the similarity; its reference is the copy to keep.</source>
        <translation>Jedes Bild eines Ordners oder einer Indexdatei wird mit jedem anderen verglichen. Eine Gruppe enthält die Bilder, die mit der Mindestquote übereinstimmen und sich im Aufbau auf der gewählten Ähnlichkeitsstufe gleichen; ihre Referenz ist die zu behaltende Kopie.</translation>
    </message>
    <message>
        <source>&amp;Similarity:</source>
        <translation>Ähnlichkeits&amp;stufe:</translation>
    </message>
    <message>
        <source>Similarity</source>
        <translation>Ähnlichkeitsstufe</translation>
    </message>
    <message>
        <source>Copy to &amp;keep:</source>
        <translation>Zu behaltende &amp;Kopie:</translation>
    </message>
    <message>
        <source>Which copy leads each group as the one to keep</source>
        <translation>Welche Kopie jede Gruppe als die zu behaltende anführt</translation>
    </message>
    <message>
        <source>Pr&amp;eferred folders:</source>
        <translation>Bevorzugte Or&amp;dner:</translation>
    </message>
    <message>
        <source>Preferred folders</source>
        <translation>Bevorzugte Ordner</translation>
    </message>
    <message>
        <source>A picture under one of these folders leads its group before any other; the first folder listed wins first.</source>
        <translation>Ein Bild unter einem dieser Ordner führt seine Gruppe vor allen anderen an; der zuerst aufgeführte Ordner geht vor.</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>&amp;Hinzufügen …</translation>
    </message>
    <message>
        <source>Add a preferred folder</source>
        <translation>Einen bevorzugten Ordner hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove the chosen preferred folder</source>
        <translation>Den gewählten bevorzugten Ordner entfernen</translation>
    </message>
    <message>
        <source>Also find turned and mirrored c&amp;opies</source>
        <translation>Auch gedrehte und gespie&amp;gelte Kopien finden</translation>
    </message>
    <message>
        <source>A copy turned by 90°, 180° or 270° or mirrored joins its original&apos;s group</source>
        <translation>Eine um 90°, 180° oder 270° gedrehte oder gespiegelte Kopie kommt in die Gruppe ihres Originals</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Ovrin</source>
        <translation>Ovrin</translation>
    </message>
    <message>
        <source>Hits</source>
        <translation>Treffer</translation>
    </message>
    <message>
        <source>Look-alike groups</source>
        <translation>Gruppen ähnlicher Bilder</translation>
    </message>
    <message>
        <source>Current file</source>
        <translation>Aktuelle Datei</translation>
    </message>
    <message>
        <source>Result of the last run</source>
        <translation>Ergebnis des letzten Laufs</translation>
    </message>
    <message>
        <source>Progress counts</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Index file read</source>
        <translation>Gelesener Teil der Indexdatei</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Hits</source>
        <translation>&amp;Treffer</translation>
    </message>
    <message>
        <source>&amp;Search…</source>
        <translation>&amp;Suchen …</translation>
    </message>
    <message>
        <source>Ctrl+F</source>
        <translation>Ctrl+F</translation>
    </message>
    <message>
        <source>Create &amp;Index File…</source>
        <translation>&amp;Indexdatei anlegen …</translation>
    </message>
    <message>
        <source>Ctrl+I</source>
        <translation>Ctrl+I</translation>
    </message>
    <message>
        <source>Find Look-alike &amp;Groups…</source>
        <translation>&amp;Gruppen ähnlicher Bilder finden …</translation>
    </message>
    <message>
        <source>Ctrl+G</source>
        <translation>Ctrl+G</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>S&amp;toppen</translation>
    </message>
    <message>
        <source>&amp;Export Hits…</source>
        <translation>Treffer &amp;exportieren …</translation>
    </message>
    <message>
        <source>Ctrl+E</source>
        <translation>Ctrl+E</translation>
    </message>
    <message>
        <source>E&amp;xport Groups…</source>
        <translation>Gruppen e&amp;xportieren …</translation>
    </message>
    <message>
        <source>Ctrl+Shift+E</source>
        <translation>Ctrl+Shift+E</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Show in &amp;Folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
    <message>
        <source>Ctrl+Shift+O</source>
        <translation>Ctrl+Shift+O</translation>
    </message>
    <message>
        <source>&amp;Copy Paths</source>
        <translation>Pfade &amp;kopieren</translation>
    </message>
    <message>
        <source>Ctrl+C</source>
        <translation>Ctrl+C</translation>
    </message>
    <message>
        <source>Select All &amp;Members but the References</source>
        <translation>Alle &amp;Mitglieder außer den Referenzen auswählen</translation>
    </message>
    <message>
        <source>Ctrl+Shift+A</source>
        <translation>Ctrl+Shift+A</translation>
    </message>
    <message>
        <source>Move to &amp;Trash…</source>
        <translation>In den &amp;Papierkorb verschieben …</translation>
    </message>
    <message>
        <source>Del</source>
        <translation>Del</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>&amp;Mark</source>
        <translation>&amp;Markieren</translation>
    </message>
    <message>
        <source>Mark &amp;All but the Kept Copy</source>
        <translation>&amp;Alle außer der behaltenen Kopie markieren</translation>
    </message>
    <message>
        <source>Ctrl+M</source>
        <translation>Ctrl+M</translation>
    </message>
    <message>
        <source>&amp;Unmark All</source>
        <translation>Alle Markierungen &amp;entfernen</translation>
    </message>
    <message>
        <source>Ctrl+Shift+M</source>
        <translation>Ctrl+Shift+M</translation>
    </message>
    <message>
        <source>&amp;Invert Marks in Group</source>
        <translation>Markierungen der Gruppe &amp;umkehren</translation>
    </message>
    <message>
        <source>Ctrl+Shift+I</source>
        <translation>Ctrl+Shift+I</translation>
    </message>
    <message>
        <source>Mark in &amp;Folder…</source>
        <translation>In &amp;Ordner markieren …</translation>
    </message>
    <message>
        <source>U&amp;nmark in Folder…</source>
        <translation>Markierungen in Ordner e&amp;ntfernen …</translation>
    </message>
    <message>
        <source>Make &amp;Reference</source>
        <translation>Zur &amp;Referenz machen</translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation>Ctrl+R</translation>
    </message>
    <message>
        <source>&amp;Keep This, Mark Others, Next</source>
        <translation>&amp;Behalten, andere markieren, weiter</translation>
    </message>
    <message>
        <source>K</source>
        <translation>K</translation>
    </message>
    <message>
        <source>Ne&amp;xt Group</source>
        <translation>Nä&amp;chste Gruppe</translation>
    </message>
    <message>
        <source>Alt+Down</source>
        <translation>Alt+Down</translation>
    </message>
    <message>
        <source>&amp;Previous Group</source>
        <translation>&amp;Vorherige Gruppe</translation>
    </message>
    <message>
        <source>Alt+Up</source>
        <translation>Alt+Up</translation>
    </message>
    <message>
        <source>Pro&amp;tected Folders…</source>
        <translation>&amp;Geschützte Ordner …</translation>
    </message>
    <message>
        <source>Exc&amp;lusions…</source>
        <translation>&amp;Ausschlüsse …</translation>
    </message>
    <message>
        <source>Open &amp;Review…</source>
        <translation>Durchsicht ö&amp;ffnen …</translation>
    </message>
    <message>
        <source>Ctrl+L</source>
        <translation>Ctrl+L</translation>
    </message>
    <message>
        <source>Sa&amp;ve Review…</source>
        <translation>Durchsicht spei&amp;chern …</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Mo&amp;ve to Folder…</source>
        <translation>In einen Ord&amp;ner verschieben …</translation>
    </message>
    <message>
        <source>F6</source>
        <translation>F6</translation>
    </message>
    <message>
        <source>Replace with Hard &amp;Link to the Kept Copy…</source>
        <translation>Durch harten &amp;Link ersetzen …</translation>
    </message>
    <message>
        <source>Ctrl+Shift+L</source>
        <translation>Ctrl+Shift+L</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>Ctrl+Z</source>
        <translation>Ctrl+Z</translation>
    </message>
    <message>
        <source>Com&amp;pare</source>
        <translation>&amp;Vergleichen</translation>
    </message>
    <message>
        <source>The selected member and its reference (or the selected hit and the target) side by side, at one zoom</source>
        <translation>Das ausgewählte Mitglied und seine Referenz (oder der ausgewählte Treffer und die Vorlage) nebeneinander, im selben Maßstab</translation>
    </message>
    <message>
        <source>F3</source>
        <translation>F3</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Paste Target</source>
        <translation>Vorlage &amp;einfügen</translation>
    </message>
    <message>
        <source>Takes the picture on the clipboard, or the picture file copied there, as the target</source>
        <translation>Übernimmt das Bild in der Zwischenablage oder die dorthin kopierte Bilddatei als Vorlage</translation>
    </message>
</context>
<context>
    <name>Ovrin</name>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>not pictures</source>
        <translation>keine Bilder</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>nicht lesbar</translation>
    </message>
    <message>
        <source>special or empty files</source>
        <translation>Sonder- oder leere Dateien</translation>
    </message>
    <message>
        <source>too large</source>
        <translation>zu groß</translation>
    </message>
    <message>
        <source>unreadable names</source>
        <translation>unlesbare Namen</translation>
    </message>
    <message>
        <source>folders that cannot be listed</source>
        <translation>nicht auflistbare Ordner</translation>
    </message>
    <message>
        <source>folders reached again through links</source>
        <translation>über Links erneut erreichte Ordner</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 file skipped</source>
        <translation>%1 Datei übersprungen</translation>
    </message>
    <message>
        <source>%1 files skipped</source>
        <translation>%1 Dateien übersprungen</translation>
    </message>
    <message>
        <source>%1 hit</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <source>%1 hits</source>
        <translation>%1 Treffer</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>Search failed: %1</source>
        <translation>Suche fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>%1 among %2 in %3</source>
        <translation>%1 unter %2 in %3</translation>
    </message>
    <message>
        <source>%1 picture</source>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <translation>%1 Bildern</translation>
    </message>
    <message>
        <source>%1 entry</source>
        <translation>%1 Eintrag</translation>
    </message>
    <message>
        <source>%1 entries</source>
        <translation>%1 Einträgen</translation>
    </message>
    <message>
        <source>Index search failed: %1</source>
        <translation>Indexsuche fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Index search stopped after %1: %2</source>
        <translation>Indexsuche gestoppt nach %1: %2</translation>
    </message>
    <message>
        <source>Index search: %1 in %2</source>
        <translation>Indexsuche: %1 in %2</translation>
    </message>
    <message>
        <source>Index search: %1 among %2 in %3</source>
        <translation>Indexsuche: %1 unter %2 in %3</translation>
    </message>
    <message>
        <source>%1; %2 decoded again (changed since indexed), %3 left out (vanished or unreadable)</source>
        <translation>%1; %2 neu eingelesen (seit der Indizierung geändert), %3 ausgelassen (verschwunden oder nicht lesbar)</translation>
    </message>
    <message>
        <source>%1 picture</source>
        <comment>written</comment>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <comment>written</comment>
        <translation>%1 Bilder</translation>
    </message>
    <message>
        <source>%1 (%2 reused, %3 decoded, %4 removed)</source>
        <translation>%1 (%2 übernommen, %3 dekodiert, %4 entfernt)</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>Index not written: %1</source>
        <translation>Index nicht geschrieben: %1</translation>
    </message>
    <message>
        <source>Index written: %1</source>
        <translation>Index geschrieben: %1</translation>
    </message>
    <message>
        <source>Index creation stopped; the index is partial (there was none before): %1</source>
        <translation>Indexerstellung gestoppt; der Index ist unvollständig (vorher gab es keinen): %1</translation>
    </message>
    <message>
        <source>Index not written: %1. The existing index was kept unchanged.</source>
        <translation>Index nicht geschrieben: %1. Der vorhandene Index blieb unverändert.</translation>
    </message>
    <message>
        <source>Index creation stopped after %1; the existing index was kept unchanged.</source>
        <translation>Indexerstellung gestoppt nach %1; der vorhandene Index blieb unverändert.</translation>
    </message>
    <message>
        <source>%1 file</source>
        <translation>%1 Datei</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>Index not written.</source>
        <translation>Index nicht geschrieben.</translation>
    </message>
    <message>
        <source>Grouping failed: %1</source>
        <translation>Gruppierung fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Grouping stopped after %1 in %2; no groups are shown</source>
        <translation>Gruppierung gestoppt nach %1 in %2; es werden keine Gruppen gezeigt</translation>
    </message>
    <message>
        <source>%1 picture read</source>
        <translation>%1 gelesenen Bild</translation>
    </message>
    <message>
        <source>%1 pictures read</source>
        <translation>%1 gelesenen Bildern</translation>
    </message>
    <message>
        <source>No look-alike groups among %1 in %2</source>
        <translation>Keine Gruppen ähnlicher Bilder unter %1 in %2</translation>
    </message>
    <message>
        <source>%1 group</source>
        <translation>%1 Gruppe</translation>
    </message>
    <message>
        <source>%1 groups</source>
        <translation>%1 Gruppen</translation>
    </message>
    <message>
        <source>%1 holding %2 of %3 in %4</source>
        <translation>%1 mit %2 von %3 in %4</translation>
    </message>
    <message>
        <source>%1 picture</source>
        <comment>of all</comment>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <comment>of all</comment>
        <translation>%1 Bildern</translation>
    </message>
    <message>
        <source>Not started. %1</source>
        <translation>Nicht gestartet. %1</translation>
    </message>
    <message>
        <source>A run is going on.</source>
        <translation>Es läuft bereits ein Vorgang.</translation>
    </message>
    <message>
        <source>The target is no picture Ovrin can read.</source>
        <translation>Die Vorlage ist kein Bild, das Ovrin lesen kann.</translation>
    </message>
    <message>
        <source>Neither a folder nor an index file was named.</source>
        <translation>Weder ein Ordner noch eine Indexdatei wurde angegeben.</translation>
    </message>
    <message>
        <source>The search method is unknown.</source>
        <translation>Die Suchmethode ist unbekannt.</translation>
    </message>
    <message>
        <source>The pixel number is outside what a search can use.</source>
        <translation>Die Pixelzahl liegt außerhalb dessen, was eine Suche verwenden kann.</translation>
    </message>
    <message>
        <source>No folder was named.</source>
        <translation>Es wurde kein Ordner angegeben.</translation>
    </message>
    <message>
        <source>The folder does not exist or cannot be listed.</source>
        <translation>Der Ordner existiert nicht oder kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>No index file was named.</source>
        <translation>Es wurde keine Indexdatei angegeben.</translation>
    </message>
    <message>
        <source>The index file cannot be used.</source>
        <translation>Die Indexdatei kann nicht verwendet werden.</translation>
    </message>
    <message>
        <source>No worker thread could be started.</source>
        <translation>Es konnte kein Arbeits-Thread gestartet werden.</translation>
    </message>
    <message>
        <source>The file cannot be written there.</source>
        <translation>Die Datei kann dort nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 file examined</source>
        <translation>%1 Datei geprüft</translation>
    </message>
    <message>
        <source>%1 files examined</source>
        <translation>%1 Dateien geprüft</translation>
    </message>
    <message>
        <source>%1 group so far</source>
        <translation>bisher %1 Gruppe</translation>
    </message>
    <message>
        <source>%1 groups so far</source>
        <translation>bisher %1 Gruppen</translation>
    </message>
    <message>
        <source>No such file.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>Permission denied.</source>
        <translation>Zugriff verweigert.</translation>
    </message>
    <message>
        <source>Not a regular file.</source>
        <translation>Keine reguläre Datei.</translation>
    </message>
    <message>
        <source>The file is empty.</source>
        <translation>Die Datei ist leer.</translation>
    </message>
    <message>
        <source>A system file, not a picture.</source>
        <translation>Eine Systemdatei, kein Bild.</translation>
    </message>
    <message>
        <source>Not a picture Ovrin can read.</source>
        <translation>Kein Bild, das Ovrin lesen kann.</translation>
    </message>
    <message>
        <source>Too large to decode within the memory budget.</source>
        <translation>Zu groß, um im Speicherbudget dekodiert zu werden.</translation>
    </message>
    <message>
        <source>The file could not be read.</source>
        <translation>Die Datei konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Stopped while decoding.</source>
        <translation>Beim Dekodieren gestoppt.</translation>
    </message>
    <message>
        <source>Out of memory.</source>
        <translation>Kein Speicher mehr frei.</translation>
    </message>
    <message>
        <source>It cannot be reached (%1).</source>
        <translation>Sie ist nicht erreichbar (%1).</translation>
    </message>
    <message>
        <source>No home folder is known to hold the trash (HOME is not set).</source>
        <translation>Es ist kein Home-Ordner bekannt, der den Papierkorb aufnehmen kann (HOME ist nicht gesetzt).</translation>
    </message>
    <message>
        <source>The trash %1 cannot be used (%2).</source>
        <translation>Der Papierkorb %1 kann nicht verwendet werden (%2).</translation>
    </message>
    <message>
        <source>It lies on another file system than the home folder, and %1 has no trash that can be used (%2). Pictures are never copied between file systems.</source>
        <translation>Sie liegt auf einem anderen Dateisystem als der Home-Ordner, und %1 hat keinen verwendbaren Papierkorb (%2). Bilder werden nie zwischen Dateisystemen kopiert.</translation>
    </message>
    <message>
        <source>The trash %1 could not record where it came from (%2).</source>
        <translation>Der Papierkorb %1 konnte nicht festhalten, woher sie kam (%2).</translation>
    </message>
    <message>
        <source>It could not be moved into the trash %1 (%2).</source>
        <translation>Sie konnte nicht in den Papierkorb %1 verschoben werden (%2).</translation>
    </message>
    <message>
        <source>The trash %1 lies on another file system, and pictures are never copied between file systems.</source>
        <translation>Der Papierkorb %1 liegt auf einem anderen Dateisystem, und Bilder werden nie zwischen Dateisystemen kopiert.</translation>
    </message>
    <message>
        <source>%1 changed picture decoded again</source>
        <translation>%1 geändertes Bild neu dekodiert</translation>
    </message>
    <message>
        <source>%1 changed pictures decoded again</source>
        <translation>%1 geänderte Bilder neu dekodiert</translation>
    </message>
    <message>
        <source>%1 entry left out as its file is gone or unreadable</source>
        <translation>%1 Eintrag ausgelassen, da seine Datei fehlt oder unlesbar ist</translation>
    </message>
    <message>
        <source>%1 entries left out as their files are gone or unreadable</source>
        <translation>%1 Einträge ausgelassen, da ihre Dateien fehlen oder unlesbar sind</translation>
    </message>
    <message>
        <source>%1 left out by the exclusions</source>
        <translation>%1 durch die Ausschlüsse ausgelassen</translation>
    </message>
    <message>
        <source>Stopped after %1: %2 in %3</source>
        <translation>Gestoppt nach %1: %2 in %3</translation>
    </message>
    <message>
        <source>%1 of about %2</source>
        <translation>%1 von etwa %2</translation>
    </message>
    <message>
        <source>%1 of at least %2</source>
        <translation>%1 von mindestens %2</translation>
    </message>
    <message>
        <source>No pictures like the target were found.</source>
        <translation>Es wurden keine Bilder gefunden, die der Vorlage ähneln.</translation>
    </message>
    <message>
        <source>Stopped after %1; no look-alikes among them.</source>
        <translation>Gestoppt nach %1; keine ähnlichen Bilder darunter.</translation>
    </message>
    <message>
        <source>The search failed; the line below says why.</source>
        <translation>Die Suche ist fehlgeschlagen; die Zeile unten sagt, warum.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>Grouping stopped after %1 while %2; no groups are shown</source>
        <translation>Gruppierung nach %1 beim %2 gestoppt; es werden keine Gruppen gezeigt</translation>
    </message>
    <message>
        <source>less than a minute left</source>
        <translation>weniger als eine Minute übrig</translation>
    </message>
    <message>
        <source>about %1 min left</source>
        <translation>noch etwa %1 min</translation>
    </message>
    <message>
        <source>about %1 h left</source>
        <translation>noch etwa %1 h</translation>
    </message>
    <message>
        <source>Examined %1 file (counting…)</source>
        <translation>%1 Datei geprüft (wird gezählt …)</translation>
    </message>
    <message>
        <source>Examined %1 files (counting…)</source>
        <translation>%1 Dateien geprüft (wird gezählt …)</translation>
    </message>
    <message>
        <source>Examined %1</source>
        <translation>Geprüft: %1</translation>
    </message>
    <message>
        <source>reading the index file</source>
        <translation>Lesen der Indexdatei</translation>
    </message>
    <message>
        <source>decoding</source>
        <translation>Dekodieren</translation>
    </message>
    <message>
        <source>decoding again the pictures changed since indexed</source>
        <translation>Nachdekodieren der seit dem Indizieren geänderten Bilder</translation>
    </message>
    <message>
        <source>comparing pairs</source>
        <translation>Vergleichen der Paare</translation>
    </message>
    <message>
        <source>confirming the matches by their fingerprints</source>
        <translation>Bestätigen der Treffer anhand ihrer Fingerabdrücke</translation>
    </message>
    <message>
        <source>forming groups</source>
        <translation>Bilden der Gruppen</translation>
    </message>
    <message>
        <source>%1 entry checked</source>
        <translation>%1 Eintrag geprüft</translation>
    </message>
    <message>
        <source>%1 entries checked</source>
        <translation>%1 Einträge geprüft</translation>
    </message>
    <message>
        <source>%1 % settled</source>
        <translation>%1 % entschieden</translation>
    </message>
</context>
<context>
    <name>TCreateIndexFileDlg</name>
    <message>
        <source>Create Index File</source>
        <translation>Indexdatei anlegen</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <source>&amp;Folder to index:</source>
        <translation>&amp;Zu indizierender Ordner:</translation>
    </message>
    <message>
        <source>Folder to index</source>
        <translation>Zu indizierender Ordner</translation>
    </message>
    <message>
        <source>Browse for the folder to index</source>
        <translation>Zu indizierenden Ordner auswählen</translation>
    </message>
    <message>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <source>&amp;Rebuild: decode every picture again</source>
        <translation>&amp;Neu aufbauen: jedes Bild erneut dekodieren</translation>
    </message>
    <message>
        <source>By default an existing index of the same pixel number is updated: unchanged pictures keep their signatures and only new or changed ones are decoded.</source>
        <translation>Standardmäßig wird ein vorhandener Index gleicher Pixelzahl aktualisiert: Unveränderte Bilder behalten ihre Signaturen, nur neue oder geänderte werden dekodiert.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Create</source>
        <translation>Anlegen</translation>
    </message>
</context>
<context>
    <name>TSearchDlg</name>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>&amp;Target picture:</source>
        <translation>&amp;Vorlage:</translation>
    </message>
    <message>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Browse for the target picture</source>
        <translation>Vorlage auswählen</translation>
    </message>
    <message>
        <source>&amp;Folder:</source>
        <translation>&amp;Ordner:</translation>
    </message>
    <message>
        <source>Search a folder</source>
        <translation>Einen Ordner durchsuchen</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Browse for the folder</source>
        <translation>Ordner auswählen</translation>
    </message>
    <message>
        <source>&amp;Index file:</source>
        <translation>&amp;Indexdatei:</translation>
    </message>
    <message>
        <source>Search an index file</source>
        <translation>Eine Indexdatei durchsuchen</translation>
    </message>
    <message>
        <source>Index file</source>
        <translation>Indexdatei</translation>
    </message>
    <message>
        <source>Browse for the index file</source>
        <translation>Indexdatei auswählen</translation>
    </message>
    <message>
        <source>Colour &amp;bits (1–4):</source>
        <translation>Farb&amp;bits (1–4):</translation>
    </message>
    <message>
        <source>Colour bits</source>
        <translation>Farbbits</translation>
    </message>
    <message>
        <source>&amp;Match rate (0–100 %):</source>
        <translation>&amp;Mindestquote (0–100 %):</translation>
    </message>
    <message>
        <source>Match rate in percent</source>
        <translation>Mindestübereinstimmung in Prozent</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Also find turned and mirrored c&amp;opies</source>
        <translation>Auch gedrehte und gespiegelte &amp;Kopien finden</translation>
    </message>
    <message>
        <source>Copies turned by 90°, 180° or 270° or mirrored count as hits too</source>
        <translation>Um 90°, 180° oder 270° gedrehte oder gespiegelte Kopien zählen auch als Treffer</translation>
    </message>
</context>
<context>
    <name>UiHooks</name>
    <message>
        <source>No such file.</source>
        <translation>Die Datei existiert nicht.</translation>
    </message>
    <message>
        <source>No program is set up to open this kind of file.</source>
        <translation>Für diese Art von Datei ist kein Programm eingerichtet.</translation>
    </message>
    <message>
        <source>The program that opens this kind of file failed.</source>
        <translation>Das Programm für diese Art von Datei ist gescheitert.</translation>
    </message>
    <message>
        <source>The desktop could not open it (xdg-open ended with status %1).</source>
        <translation>Die Arbeitsumgebung konnte sie nicht öffnen (xdg-open endete mit Status %1).</translation>
    </message>
    <message>
        <source>No program to open files is installed (xdg-open was not found).</source>
        <translation>Es ist kein Programm zum Öffnen von Dateien installiert (xdg-open wurde nicht gefunden).</translation>
    </message>
    <message>
        <source>Pictures (%1)</source>
        <translation>Bilder (%1)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Index files (*.ovi)</source>
        <translation>Indexdateien (*.ovi)</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::ActionConfirmDlg</name>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::CompareView</name>
    <message>
        <source>Ovrin — Compare</source>
        <translation>Ovrin — Vergleichen</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>Referenz</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Selected member</source>
        <translation>Ausgewähltes Mitglied</translation>
    </message>
    <message>
        <source>Selected hit</source>
        <translation>Ausgewählter Treffer</translation>
    </message>
    <message>
        <source>Reference picture</source>
        <translation>Referenzbild</translation>
    </message>
    <message>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Selected member picture</source>
        <translation>Bild des ausgewählten Mitglieds</translation>
    </message>
    <message>
        <source>Selected hit picture</source>
        <translation>Bild des ausgewählten Treffers</translation>
    </message>
    <message>
        <source>Drag, scroll or use the arrow keys to move both pictures; Ctrl and the wheel zoom.</source>
        <translation>Ziehen, scrollen oder die Pfeiltasten verschieben beide Bilder; Strg mit dem Mausrad zoomt.</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>&amp;Fit</source>
        <translation>&amp;Einpassen</translation>
    </message>
    <message>
        <source>Both pictures at the one zoom at which both fit</source>
        <translation>Beide Bilder in dem einen Maßstab, in dem beide ganz zu sehen sind</translation>
    </message>
    <message>
        <source>&amp;1:1</source>
        <translation>&amp;1:1</translation>
    </message>
    <message>
        <source>One picture pixel to one screen pixel</source>
        <translation>Ein Bildpixel auf ein Bildschirmpixel</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation>Wird geladen …</translation>
    </message>
    <message>
        <source>This file no longer exists.</source>
        <translation>Diese Datei existiert nicht mehr.</translation>
    </message>
    <message>
        <source>Cannot show it: %1</source>
        <translation>Kann nicht gezeigt werden: %1</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Fit: %1</source>
        <translation>Eingepasst: %1</translation>
    </message>
    <message>
        <source>Shown reduced to %1 × %2 pixels: the whole picture would exceed the memory budget.</source>
        <translation>Verkleinert auf %1 × %2 Pixel gezeigt: das ganze Bild überschritte das Speicherbudget.</translation>
    </message>
    <message>
        <source>same pixel size</source>
        <translation>gleiche Pixelgröße</translation>
    </message>
    <message>
        <source>%1 % of its pixels</source>
        <translation>%1 % ihrer Pixel</translation>
    </message>
    <message>
        <source>same file size</source>
        <translation>gleiche Dateigröße</translation>
    </message>
    <message>
        <source>%1 larger</source>
        <translation>%1 größer</translation>
    </message>
    <message>
        <source>%1 smaller</source>
        <translation>%1 kleiner</translation>
    </message>
    <message>
        <source>modified at the same time</source>
        <translation>zur selben Zeit geändert</translation>
    </message>
    <message>
        <source>modified %1 later</source>
        <translation>%1 später geändert</translation>
    </message>
    <message>
        <source>modified %1 earlier</source>
        <translation>%1 früher geändert</translation>
    </message>
    <message>
        <source>%1, not %2</source>
        <translation>%1, nicht %2</translation>
    </message>
    <message>
        <source>Against the reference: %1</source>
        <translation>Gegenüber der Referenz: %1</translation>
    </message>
    <message>
        <source>Against the target: %1</source>
        <translation>Gegenüber der Vorlage: %1</translation>
    </message>
    <message>
        <source>%1 day</source>
        <translation>%1 Tag</translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation>%1 Tage</translation>
    </message>
    <message>
        <source>%1 hour</source>
        <translation>%1 Stunde</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 Stunden</translation>
    </message>
    <message>
        <source>%1 minute</source>
        <translation>%1 Minute</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 Minuten</translation>
    </message>
    <message>
        <source>%1 second</source>
        <translation>%1 Sekunde</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 Sekunden</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::ContextStrip</name>
    <message>
        <source>Search context</source>
        <translation>Suchkontext</translation>
    </message>
    <message>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Target:</source>
        <translation>Vorlage:</translation>
    </message>
    <message>
        <source>Finding:</source>
        <translation>Gesucht:</translation>
    </message>
    <message>
        <source>Look-alike groups</source>
        <translation>Gruppen ähnlicher Bilder</translation>
    </message>
    <message>
        <source>Index file:</source>
        <translation>Indexdatei:</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>Bits %1 · match rate %2 %</source>
        <translation>Bits %1 · Mindestquote %2 %</translation>
    </message>
    <message>
        <source>%1 · %2</source>
        <translation>%1 · %2</translation>
    </message>
    <message>
        <source>(pasted picture)</source>
        <translation>(eingefügtes Bild)</translation>
    </message>
    <message>
        <source>%1, %2 × %3 pixels</source>
        <translation>%1, %2 × %3 Pixel</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::ExclusionsDlg</name>
    <message>
        <source>&amp;Add Folder…</source>
        <translation>Ordner &amp;hinzufügen …</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Exclusions</source>
        <translation>Ausschlüsse</translation>
    </message>
    <message>
        <source>&amp;Folders left out of searches, index files and groups, with all they hold:</source>
        <translation>&amp;Ordner, die Suchen, Indexdateien und Gruppen samt Inhalt auslassen:</translation>
    </message>
    <message>
        <source>&amp;Names left out, one pattern a line (such as *.tmp, .thumbnails or @eaDir; * and ? stand for any text):</source>
        <translation>Ausgelassene &amp;Namen, ein Muster je Zeile (etwa *.tmp, .thumbnails oder @eaDir; * und ? stehen für beliebigen Text):</translation>
    </message>
    <message>
        <source>Folders left out</source>
        <translation>Ausgelassene Ordner</translation>
    </message>
    <message>
        <source>Names left out</source>
        <translation>Ausgelassene Namen</translation>
    </message>
    <message>
        <source>A name pattern cannot hold a “/”.</source>
        <translation>Ein Namensmuster kann kein „/“ enthalten.</translation>
    </message>
    <message>
        <source>“%1” would match no name. Add a folder with Add Folder… instead.</source>
        <translation>„%1“ passte auf keinen Namen. Fügen Sie stattdessen mit „Ordner hinzufügen …“ einen Ordner hinzu.</translation>
    </message>
    <message>
        <source>The exclusions could not be stored.</source>
        <translation>Die Ausschlüsse konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>They apply until the program ends; check that the settings folder can be written.</source>
        <translation>Sie gelten bis zum Programmende; prüfen Sie, ob der Ordner der Einstellungen beschreibbar ist.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::FactText</name>
    <message>
        <source>%1 min</source>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>%1 h</source>
        <translation>%1 Std.</translation>
    </message>
    <message>
        <source>%1 day</source>
        <translation>%1 Tag</translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation>%1 Tage</translation>
    </message>
    <message>
        <source>%1 month</source>
        <translation>%1 Monat</translation>
    </message>
    <message>
        <source>%1 months</source>
        <translation>%1 Monate</translation>
    </message>
    <message>
        <source>%1 year</source>
        <translation>%1 Jahr</translation>
    </message>
    <message>
        <source>%1 years</source>
        <translation>%1 Jahre</translation>
    </message>
    <message>
        <source>%1 × %2</source>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>%1 MP</source>
        <translation>%1 MP</translation>
    </message>
    <message>
        <source>%1% pixels</source>
        <translation>%1 % Pixel</translation>
    </message>
    <message>
        <source>%1% size</source>
        <translation>%1 % Größe</translation>
    </message>
    <message>
        <source>%1 older</source>
        <translation>%1 älter</translation>
    </message>
    <message>
        <source>%1 newer</source>
        <translation>%1 neuer</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::GroupTreeModel</name>
    <message>
        <source>%1 (moved to the trash)</source>
        <translation>%1 (in den Papierkorb verschoben)</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>Referenz</translation>
    </message>
    <message>
        <source>%1 look-alike</source>
        <translation>%1 ähnliches Bild</translation>
    </message>
    <message>
        <source>%1 look-alikes</source>
        <translation>%1 ähnliche Bilder</translation>
    </message>
    <message>
        <source>%1
Match rate %2 %, likeness %3 % against the reference</source>
        <translation>%1
Übereinstimmung %2 %, Ähnlichkeit %3 % mit der Referenz</translation>
    </message>
    <message>
        <source>Group %1, %2 pictures, reference %3</source>
        <translation>Gruppe %1, %2 Bilder, Referenz %3</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
    <message>
        <source>likeness %1 percent</source>
        <translation>Ähnlichkeit %1 Prozent</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Rate (%)</source>
        <translation>Quote (%)</translation>
    </message>
    <message>
        <source>Likeness (%)</source>
        <translation>Ähnlichkeit (%)</translation>
    </message>
    <message>
        <source>Each group&apos;s reference, with the pictures that look like it beneath</source>
        <translation>Die Referenz jeder Gruppe, darunter die Bilder, die ihr ähneln</translation>
    </message>
    <message>
        <source>Match rate against the group&apos;s reference, in percent</source>
        <translation>Übereinstimmung mit der Referenz der Gruppe, in Prozent</translation>
    </message>
    <message>
        <source>Also at: %1</source>
        <translation>Auch unter: %1</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>also at %1 other path</source>
        <translation>auch unter %1 weiteren Pfad</translation>
    </message>
    <message>
        <source>also at %1 other paths</source>
        <translation>auch unter %1 weiteren Pfaden</translation>
    </message>
    <message>
        <source>%1
Group %2: the copy to keep and %3</source>
        <translation>%1
Gruppe %2: die zu behaltende Kopie und %3</translation>
    </message>
    <message>
        <source>How alike in structure the picture and the group&apos;s reference are, in percent</source>
        <translation>Wie sehr sich das Bild und die Referenz der Gruppe im Aufbau ähneln, in Prozent</translation>
    </message>
    <message>
        <source>%1
Against the group&apos;s reference: %2</source>
        <translation>%1
Gegenüber der Referenz der Gruppe: %2</translation>
    </message>
    <message>
        <source>Pixels</source>
        <translation>Pixel</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Width × height of the picture, and how many more or fewer pixels it has than the group&apos;s reference</source>
        <translation>Breite × Höhe des Bildes und wie viel mehr oder weniger Pixel es hat als die Referenz der Gruppe</translation>
    </message>
    <message>
        <source>Size of the file, and how much larger or smaller it is than the group&apos;s reference</source>
        <translation>Größe der Datei und wie viel größer oder kleiner sie ist als die Referenz der Gruppe</translation>
    </message>
    <message>
        <source>When the file was last changed, and how much older or newer it is than the group&apos;s reference</source>
        <translation>Wann die Datei zuletzt geändert wurde und wie viel älter oder neuer sie ist als die Referenz der Gruppe</translation>
    </message>
    <message>
        <source>The folder that holds the picture</source>
        <translation>Der Ordner, in dem das Bild liegt</translation>
    </message>
    <message>
        <source>
Like the reference %1</source>
        <translation>
Wie die Referenz, %1</translation>
    </message>
    <message>
        <source>%1 percent, %2</source>
        <translation>%1 Prozent, %2</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::GroupsDlg</name>
    <message>
        <source>“%1” cannot be used. Correct it before the grouping starts.</source>
        <translation>„%1“ ist nicht verwendbar. Bitte vor dem Gruppieren korrigieren.</translation>
    </message>
    <message>
        <source>Colour bits must be a whole number from 1 to 4.</source>
        <translation>Die Farbbits müssen eine ganze Zahl von 1 bis 4 sein.</translation>
    </message>
    <message>
        <source>The match rate must be a whole number from 0 to 100.</source>
        <translation>Die Mindestquote muss eine ganze Zahl von 0 bis 100 sein.</translation>
    </message>
    <message>
        <source>The folder cannot be grouped.</source>
        <translation>Der Ordner kann nicht gruppiert werden.</translation>
    </message>
    <message>
        <source>The index file cannot be grouped.</source>
        <translation>Die Indexdatei kann nicht gruppiert werden.</translation>
    </message>
    <message>
        <source>Strict</source>
        <translation>Streng</translation>
    </message>
    <message>
        <source>Only copies that keep the whole picture: resized, recompressed, converted.</source>
        <translation>Nur Kopien, die das ganze Bild behalten: verkleinert, neu komprimiert, umgewandelt.</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Also slightly cropped or brightened copies; different photographs stay apart.</source>
        <translation>Auch leicht beschnittene oder aufgehellte Kopien; verschiedene Fotos bleiben getrennt.</translation>
    </message>
    <message>
        <source>Loose</source>
        <translation>Locker</translation>
    </message>
    <message>
        <source>Also more edited copies; look through the groups before removing anything.</source>
        <translation>Auch stärker bearbeitete Kopien; sehen Sie die Gruppen durch, bevor Sie etwas entfernen.</translation>
    </message>
    <message>
        <source>Most pixels</source>
        <translation>Meiste Pixel</translation>
    </message>
    <message>
        <source>The copy with the most pixels, then the largest file, the oldest, the path.</source>
        <translation>Die Kopie mit den meisten Pixeln, dann die größte Datei, die älteste, der Pfad.</translation>
    </message>
    <message>
        <source>Largest file</source>
        <translation>Größte Datei</translation>
    </message>
    <message>
        <source>The largest file, then the most pixels, the oldest, the path.</source>
        <translation>Die größte Datei, dann die meisten Pixel, die älteste, der Pfad.</translation>
    </message>
    <message>
        <source>Oldest</source>
        <translation>Älteste</translation>
    </message>
    <message>
        <source>The copy modified longest ago, then the most pixels, the largest file, the path.</source>
        <translation>Die am längsten nicht geänderte Kopie, dann die meisten Pixel, die größte Datei, der Pfad.</translation>
    </message>
    <message>
        <source>Newest</source>
        <translation>Neueste</translation>
    </message>
    <message>
        <source>The copy modified last, then the most pixels, the largest file, the path.</source>
        <translation>Die zuletzt geänderte Kopie, dann die meisten Pixel, die größte Datei, der Pfad.</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
    <message>
        <source>The path that sorts first.</source>
        <translation>Der Pfad, der in der Sortierung zuerst kommt.</translation>
    </message>
    <message>
        <source>A preferred folder cannot be used.</source>
        <translation>Ein bevorzugter Ordner kann nicht verwendet werden.</translation>
    </message>
    <message>
        <source>It does not exist or is no folder. Remove it, or add it again.</source>
        <translation>Er existiert nicht oder ist kein Ordner. Entfernen Sie ihn oder fügen Sie ihn erneut hinzu.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::HitListModel</name>
    <message>
        <source>%1 (the target)</source>
        <translation>%1 (die Vorlage)</translation>
    </message>
    <message>
        <source>Match rate %1 %, likeness %2 %</source>
        <translation>Übereinstimmung %1 %, Ähnlichkeit %2 %</translation>
    </message>
    <message>
        <source>%1
This is the target picture.</source>
        <translation>%1
Das ist die Vorlage.</translation>
    </message>
    <message>
        <source>%1 percent</source>
        <translation>%1 Prozent</translation>
    </message>
    <message>
        <source>%1, the target</source>
        <translation>%1, die Vorlage</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Rate (%)</source>
        <translation>Quote (%)</translation>
    </message>
    <message>
        <source>Match rate in percent; equal rates are ordered by likeness</source>
        <translation>Übereinstimmung in Prozent; gleiche Werte sind nach Ähnlichkeit geordnet</translation>
    </message>
    <message>
        <source>Full path of the picture</source>
        <translation>Vollständiger Pfad des Bildes</translation>
    </message>
    <message>
        <source>%1
Against the target: %2</source>
        <translation>%1
Gegenüber der Vorlage: %2</translation>
    </message>
    <message>
        <source>Pixels</source>
        <translation>Pixel</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Width × height of the picture, and how many more or fewer pixels it has than the target</source>
        <translation>Breite × Höhe des Bildes und wie viel mehr oder weniger Pixel es hat als die Vorlage</translation>
    </message>
    <message>
        <source>Size of the file, and how much larger or smaller it is than the target</source>
        <translation>Größe der Datei und wie viel größer oder kleiner sie ist als die Vorlage</translation>
    </message>
    <message>
        <source>When the file was last changed, and how much older or newer it is than the target</source>
        <translation>Wann die Datei zuletzt geändert wurde und wie viel älter oder neuer sie ist als die Vorlage</translation>
    </message>
    <message>
        <source>The folder that holds the picture</source>
        <translation>Der Ordner, in dem das Bild liegt</translation>
    </message>
    <message>
        <source>turned 90°</source>
        <translation>um 90° gedreht</translation>
    </message>
    <message>
        <source>turned 180°</source>
        <translation>um 180° gedreht</translation>
    </message>
    <message>
        <source>turned 270°</source>
        <translation>um 270° gedreht</translation>
    </message>
    <message>
        <source>mirrored</source>
        <translation>gespiegelt</translation>
    </message>
    <message>
        <source>mirrored, turned 90°</source>
        <translation>gespiegelt, um 90° gedreht</translation>
    </message>
    <message>
        <source>flipped</source>
        <translation>auf den Kopf gestellt</translation>
    </message>
    <message>
        <source>mirrored, turned 270°</source>
        <translation>gespiegelt, um 270° gedreht</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::Ovrin</name>
    <message>
        <source>Drop a picture and a folder here, or choose File → Search…</source>
        <translation>Ziehen Sie ein Bild und einen Ordner hierher oder wählen Sie Datei → Suchen …</translation>
    </message>
    <message>
        <source>Ctrl+.</source>
        <translation>Ctrl+.</translation>
    </message>
    <message>
        <source>Search or stop</source>
        <translation>Suchen oder stoppen</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>target “%1”</source>
        <translation>Vorlage „%1“</translation>
    </message>
    <message>
        <source>folder “%1”</source>
        <translation>Ordner „%1“</translation>
    </message>
    <message>
        <source>index file “%1” (the next search uses it)</source>
        <translation>Indexdatei „%1“ (die nächste Suche verwendet sie)</translation>
    </message>
    <message>
        <source>Taken: %1.</source>
        <translation>Übernommen: %1.</translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation>Abgelehnt: %1</translation>
    </message>
    <message>
        <source>No look-alike groups were found.</source>
        <translation>Es wurden keine Gruppen ähnlicher Bilder gefunden.</translation>
    </message>
    <message>
        <source>The index file could not be written.</source>
        <translation>Die Indexdatei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The groups appear here when the grouping ends.</source>
        <translation>Die Gruppen erscheinen hier, sobald das Gruppieren endet.</translation>
    </message>
    <message>
        <source>Open %1 pictures?</source>
        <translation>%1 Bilder öffnen?</translation>
    </message>
    <message>
        <source>Each opens in the desktop&apos;s viewer.</source>
        <translation>Jedes öffnet sich im Bildbetrachter der Arbeitsumgebung.</translation>
    </message>
    <message>
        <source>Open All</source>
        <translation>Alle öffnen</translation>
    </message>
    <message>
        <source>The picture could not be opened.</source>
        <translation>Das Bild konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The folder could not be shown.</source>
        <translation>Der Ordner konnte nicht angezeigt werden.</translation>
    </message>
    <message>
        <source>No groups are left.</source>
        <translation>Es sind keine Gruppen mehr übrig.</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The hits could not be exported.</source>
        <translation>Die Treffer konnten nicht exportiert werden.</translation>
    </message>
    <message>
        <source>JSON Lines files (*.jsonl *.json)</source>
        <translation>JSON-Lines-Dateien (*.jsonl *.json)</translation>
    </message>
    <message>
        <source>The groups could not be exported.</source>
        <translation>Die Gruppen konnten nicht exportiert werden.</translation>
    </message>
    <message>
        <source>Ovrin — searching…</source>
        <translation>Ovrin – sucht …</translation>
    </message>
    <message>
        <source>Ovrin — indexing…</source>
        <translation>Ovrin – indiziert …</translation>
    </message>
    <message>
        <source>Ovrin — grouping…</source>
        <translation>Ovrin — gruppiert …</translation>
    </message>
    <message>
        <source>Ovrin</source>
        <translation>Ovrin</translation>
    </message>
    <message>
        <source>No target chosen yet.</source>
        <translation>Noch keine Vorlage gewählt.</translation>
    </message>
    <message>
        <source>Select a group to see its reference here.</source>
        <translation>Eine Gruppe auswählen, um hier ihre Referenz zu sehen.</translation>
    </message>
    <message>
        <source>Select a member to compare it with its reference.</source>
        <translation>Ein Mitglied auswählen, um es mit seiner Referenz zu vergleichen.</translation>
    </message>
    <message>
        <source>The reference was moved to the trash.</source>
        <translation>Die Referenz wurde in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <source>This is the group&apos;s reference. Select a member to compare it with the reference.</source>
        <translation>Dies ist die Referenz der Gruppe. Ein Mitglied auswählen, um es mit der Referenz zu vergleichen.</translation>
    </message>
    <message>
        <source>Select a hit to see it here.</source>
        <translation>Wählen Sie einen Treffer, um ihn hier zu sehen.</translation>
    </message>
    <message>
        <source>%1
Rate %2 % · likeness %3 %</source>
        <translation>%1
Quote %2 % · Ähnlichkeit %3 %</translation>
    </message>
    <message>
        <source>%1 (the target)</source>
        <translation>%1 (die Vorlage)</translation>
    </message>
    <message>
        <source>An index file is being written. Stop and quit?</source>
        <translation>Eine Indexdatei wird gerade geschrieben. Stoppen und beenden?</translation>
    </message>
    <message>
        <source>Stopping keeps the index that was there before; where there was none, the index written so far stays, partial.</source>
        <translation>Beim Stoppen bleibt der vorherige Index erhalten; gab es keinen, bleibt der bisher geschriebene, unvollständige Index.</translation>
    </message>
    <message>
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
        <source>similarity %1 · keep %2</source>
        <translation>Ähnlichkeitsstufe %1 · behalten: %2</translation>
    </message>
    <message>
        <source>Marked %1 picture</source>
        <translation>%1 Bild markiert</translation>
    </message>
    <message>
        <source>Unmarked %1 picture</source>
        <translation>Markierung von %1 Bild entfernt</translation>
    </message>
    <message>
        <source>Marked %1 pictures</source>
        <translation>%1 Bilder markiert</translation>
    </message>
    <message>
        <source>Unmarked %1 pictures</source>
        <translation>Markierung von %1 Bildern entfernt</translation>
    </message>
    <message>
        <source>; %1 under a protected folder stays unmarked</source>
        <translation>; %1 Bild in einem geschützten Ordner bleibt unmarkiert</translation>
    </message>
    <message>
        <source>; %1 under protected folders stay unmarked</source>
        <translation>; %1 Bilder in geschützten Ordnern bleiben unmarkiert</translation>
    </message>
    <message>
        <source>Marks inverted: %1 picture marked, %2 unmarked</source>
        <translation>Markierungen umgekehrt: %1 Bild markiert, %2 nicht mehr</translation>
    </message>
    <message>
        <source>Marks inverted: %1 pictures marked, %2 unmarked</source>
        <translation>Markierungen umgekehrt: %1 Bilder markiert, %2 nicht mehr</translation>
    </message>
    <message>
        <source>Marked %1 picture under %2</source>
        <translation>%1 Bild in %2 markiert</translation>
    </message>
    <message>
        <source>Marked %1 pictures under %2</source>
        <translation>%1 Bilder in %2 markiert</translation>
    </message>
    <message>
        <source>Unmarked %1 picture under %2</source>
        <translation>Markierung von %1 Bild in %2 entfernt</translation>
    </message>
    <message>
        <source>Unmarked %1 pictures under %2</source>
        <translation>Markierung von %1 Bildern in %2 entfernt</translation>
    </message>
    <message>
        <source>“%1” is already the copy its group keeps.</source>
        <translation>„%1“ ist schon die Kopie, die seine Gruppe behält.</translation>
    </message>
    <message>
        <source>Choose a member of a group to keep it instead of its reference.</source>
        <translation>Wählen Sie ein Mitglied einer Gruppe, um es statt ihrer Referenz zu behalten.</translation>
    </message>
    <message>
        <source>“%1” is now the copy its group keeps.</source>
        <translation>„%1“ ist jetzt die Kopie, die seine Gruppe behält.</translation>
    </message>
    <message>
        <source>This is the last group.</source>
        <translation>Dies ist die letzte Gruppe.</translation>
    </message>
    <message>
        <source>This is the first group.</source>
        <translation>Dies ist die erste Gruppe.</translation>
    </message>
    <message>
        <source>Choose the picture of a group to keep.</source>
        <translation>Wählen Sie das Bild einer Gruppe, das bleiben soll.</translation>
    </message>
    <message>
        <source>Kept “%2”, marked %1 other</source>
        <translation>„%2“ behalten, %1 weiteres markiert</translation>
    </message>
    <message>
        <source>Kept “%2”, marked %1 others</source>
        <translation>„%2“ behalten, %1 weitere markiert</translation>
    </message>
    <message>
        <source>%1 protected folder</source>
        <translation>%1 geschützter Ordner</translation>
    </message>
    <message>
        <source>%1 protected folders</source>
        <translation>%1 geschützte Ordner</translation>
    </message>
    <message>
        <source>%1 mark under a protected folder was dropped</source>
        <translation>%1 Markierung in einem geschützten Ordner wurde entfernt</translation>
    </message>
    <message>
        <source>%1 marks under protected folders were dropped</source>
        <translation>%1 Markierungen in geschützten Ordnern wurden entfernt</translation>
    </message>
    <message>
        <source>Ovrin reviews (*.ovr)</source>
        <translation>Ovrin-Durchsichten (*.ovr)</translation>
    </message>
    <message>
        <source>The review could not be saved.</source>
        <translation>Die Durchsicht konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Opening the review…</source>
        <translation>Die Durchsicht wird geöffnet …</translation>
    </message>
    <message>
        <source>The review could not be opened.</source>
        <translation>Die Durchsicht konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>No group of the review is left.</source>
        <translation>Von der Durchsicht ist keine Gruppe übrig.</translation>
    </message>
    <message>
        <source>Review opened: %1 with %2</source>
        <translation>Durchsicht geöffnet: %1 mit %2</translation>
    </message>
    <message>
        <source>%1 group</source>
        <translation>%1 Gruppe</translation>
    </message>
    <message>
        <source>%1 groups</source>
        <translation>%1 Gruppen</translation>
    </message>
    <message>
        <source>%1 picture</source>
        <translation>%1 Bild</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <translation>%1 Bildern</translation>
    </message>
    <message>
        <source>; %1 left out</source>
        <translation>; %1 ausgelassen</translation>
    </message>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
    <message>
        <source>%1 picture changed or moved since the review was saved and was left out.</source>
        <translation>%1 Bild wurde seit dem Speichern der Durchsicht geändert oder verschoben und wurde ausgelassen.</translation>
    </message>
    <message>
        <source>%1 pictures changed or moved since the review was saved and were left out.</source>
        <translation>%1 Bilder wurden seit dem Speichern der Durchsicht geändert oder verschoben und wurden ausgelassen.</translation>
    </message>
    <message>
        <source>The file is too large to be a review.</source>
        <translation>Die Datei ist zu groß für eine Durchsicht.</translation>
    </message>
    <message>
        <source>The file is not an Ovrin review.</source>
        <translation>Die Datei ist keine Ovrin-Durchsicht.</translation>
    </message>
    <message>
        <source>The review was saved by a newer version of Ovrin.</source>
        <translation>Die Durchsicht wurde von einer neueren Version von Ovrin gespeichert.</translation>
    </message>
    <message>
        <source>The file ends early: it was cut off while it was written or copied.</source>
        <translation>Die Datei endet zu früh: Sie wurde beim Schreiben oder Kopieren abgeschnitten.</translation>
    </message>
    <message>
        <source>There is not enough memory to open it.</source>
        <translation>Zum Öffnen reicht der Speicher nicht.</translation>
    </message>
    <message>
        <source>The file is damaged.</source>
        <translation>Die Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>&amp;Undo %1</source>
        <translation>&amp;Rückgängig: %1</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>Taken for the next run: %1.</source>
        <translation>Für den nächsten Lauf übernommen: %1.</translation>
    </message>
    <message>
        <source>%1 (gone)</source>
        <translation>%1 (weg)</translation>
    </message>
    <message>
        <source>The picture is no longer there.</source>
        <translation>Das Bild ist nicht mehr da.</translation>
    </message>
    <message>
        <source>Review saved as %1</source>
        <translation>Durchsicht gespeichert als %1</translation>
    </message>
    <message>
        <source>The last target was a pasted picture, which is not kept: paste it again or choose a file.</source>
        <translation>Die letzte Vorlage war ein eingefügtes Bild, das nicht aufbewahrt wird: Fügen Sie es erneut ein oder wählen Sie eine Datei.</translation>
    </message>
    <message>
        <source>It names a picture on the web, which Ovrin does not fetch: copy the picture itself, or save it and take the file.</source>
        <translation>Das ist die Adresse eines Bildes im Web, und Ovrin lädt nichts aus dem Web: Kopieren Sie das Bild selbst, oder speichern Sie es und nehmen Sie die Datei.</translation>
    </message>
    <message>
        <source>Copy a picture, a screenshot or a picture file, then paste again.</source>
        <translation>Kopieren Sie ein Bild, ein Bildschirmfoto oder eine Bilddatei und fügen Sie dann erneut ein.</translation>
    </message>
    <message>
        <source>The clipboard holds no picture.</source>
        <translation>Die Zwischenablage enthält kein Bild.</translation>
    </message>
    <message>
        <source>the dropped data (%1)</source>
        <translation>die abgelegten Daten (%1)</translation>
    </message>
    <message>
        <source>the dropped picture (%1)</source>
        <translation>das abgelegte Bild (%1)</translation>
    </message>
    <message>
        <source>The pasted picture cannot be read.</source>
        <translation>Das eingefügte Bild kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>target %1</source>
        <translation>Vorlage %1</translation>
    </message>
    <message>
        <source>Checking the pasted picture… (Escape stops it)</source>
        <translation>Das eingefügte Bild wird geprüft … (Esc bricht ab)</translation>
    </message>
    <message>
        <source>Checking the dropped picture… (Escape stops it)</source>
        <translation>Das abgelegte Bild wird geprüft … (Esc bricht ab)</translation>
    </message>
    <message>
        <source>The check of the pasted picture was stopped; the target stays as it was.</source>
        <translation>Die Prüfung des eingefügten Bildes wurde abgebrochen; die Vorlage bleibt, wie sie war.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::PreviewPane</name>
    <message>
        <source>No target chosen yet.</source>
        <translation>Noch keine Vorlage gewählt.</translation>
    </message>
    <message>
        <source>Select a hit to see it here.</source>
        <translation>Wählen Sie einen Treffer, um ihn hier zu sehen.</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>Referenz</translation>
    </message>
    <message>
        <source>Selected member</source>
        <translation>Ausgewähltes Mitglied</translation>
    </message>
    <message>
        <source>Reference picture</source>
        <translation>Referenzbild</translation>
    </message>
    <message>
        <source>Selected member picture</source>
        <translation>Bild des ausgewählten Mitglieds</translation>
    </message>
    <message>
        <source>About the reference picture</source>
        <translation>Über das Referenzbild</translation>
    </message>
    <message>
        <source>About the selected member</source>
        <translation>Über das ausgewählte Mitglied</translation>
    </message>
    <message>
        <source>Target</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Selected hit</source>
        <translation>Ausgewählter Treffer</translation>
    </message>
    <message>
        <source>Target picture</source>
        <translation>Vorlage</translation>
    </message>
    <message>
        <source>Selected hit picture</source>
        <translation>Bild des ausgewählten Treffers</translation>
    </message>
    <message>
        <source>About the target picture</source>
        <translation>Angaben zur Vorlage</translation>
    </message>
    <message>
        <source>About the selected hit</source>
        <translation>Angaben zum ausgewählten Treffer</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>%1 × %2 pixels</source>
        <translation>%1 × %2 Pixel</translation>
    </message>
    <message>
        <source>This file no longer exists.</source>
        <translation>Diese Datei existiert nicht mehr.</translation>
    </message>
    <message>
        <source>No preview: %1</source>
        <translation>Keine Vorschau: %1</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <source>No preview</source>
        <translation>Keine Vorschau</translation>
    </message>
    <message>
        <source>%1, shown as the target lies</source>
        <translation>%1, so gezeigt, wie die Vorlage liegt</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::ProtectedFoldersDlg</name>
    <message>
        <source>Protected Folders</source>
        <translation>Geschützte Ordner</translation>
    </message>
    <message>
        <source>Pictures under these folders can never be marked, so no action on the marked pictures touches them:</source>
        <translation>Bilder in diesen Ordnern können nie markiert werden, daher berührt sie keine Aktion auf den markierten Bildern:</translation>
    </message>
    <message>
        <source>Protected folders</source>
        <translation>Geschützte Ordner</translation>
    </message>
    <message>
        <source>&amp;Add…</source>
        <translation>&amp;Hinzufügen …</translation>
    </message>
    <message>
        <source>Add a protected folder</source>
        <translation>Einen geschützten Ordner hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove the chosen protected folder</source>
        <translation>Den gewählten geschützten Ordner entfernen</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::TCreateIndexFileDlg</name>
    <message>
        <source>The folder cannot be indexed.</source>
        <translation>Der Ordner kann nicht indiziert werden.</translation>
    </message>
    <message>
        <source>The index file cannot be written there.</source>
        <translation>Die Indexdatei kann dort nicht geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>ovrin::ui::TSearchDlg</name>
    <message>
        <source>“%1” cannot be used. Correct it before the search starts.</source>
        <translation>„%1“ ist nicht verwendbar. Korrigieren Sie den Wert, bevor die Suche beginnt.</translation>
    </message>
    <message>
        <source>Colour bits must be a whole number from 1 to 4.</source>
        <translation>Die Farbbits müssen eine ganze Zahl von 1 bis 4 sein.</translation>
    </message>
    <message>
        <source>The match rate must be a whole number from 0 to 100.</source>
        <translation>Die Mindestquote muss eine ganze Zahl von 0 bis 100 sein.</translation>
    </message>
    <message>
        <source>The folder cannot be searched.</source>
        <translation>Der Ordner kann nicht durchsucht werden.</translation>
    </message>
    <message>
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
