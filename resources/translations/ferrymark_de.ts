<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AgreementWindow</name>
    <message>
        <source>Welcome to Ferrymark</source>
        <translation>Willkommen bei Ferrymark</translation>
    </message>
    <message>
        <source>Ferrymark pastes the files you copy in your file manager, with a clear progress window, and never removes a source that was not copied completely. Please read and accept its licence to go on.</source>
        <translation>Ferrymark fügt die Dateien ein, die Sie in Ihrer Dateiverwaltung kopieren, mit einem übersichtlichen Fortschrittsfenster, und entfernt nie eine Quelle, die nicht vollständig kopiert wurde. Bitte lesen und akzeptieren Sie die Lizenz, um fortzufahren.</translation>
    </message>
    <message>
        <source>Start Ferrymark when I log in</source>
        <translation>Ferrymark bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Disagree</source>
        <translation>Ablehnen</translation>
    </message>
    <message>
        <source>Agree</source>
        <translation>Zustimmen</translation>
    </message>
</context>
<context>
    <name>AlertWindow</name>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Ferrymark</source>
        <translation>Ferrymark</translation>
    </message>
    <message>
        <source>Apply to all</source>
        <translation>Für alle übernehmen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Fortfahren</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>Beide behalten</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Merge</source>
        <translation>Zusammenführen</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Pastes and moves the files copied in your file manager. Without options it starts in the tray; with --paste or --move it hands the command to the running Ferrymark, starting it when none runs.</source>
        <translation>Fügt die in Ihrer Dateiverwaltung kopierten Dateien ein oder verschiebt sie. Ohne Optionen startet es im Systembereich der Kontrollleiste; mit --paste oder --move übergibt es den Befehl an das laufende Ferrymark und startet es, wenn keines läuft.</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Diese Hilfe anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Die Version anzeigen und beenden.</translation>
    </message>
    <message>
        <source>Paste the copied files into FOLDER, or, without one, into the folder of the file-manager window in front.</source>
        <translation>Die kopierten Dateien in FOLDER einfügen, oder ohne FOLDER in den Ordner des Dateiverwaltungsfensters im Vordergrund.</translation>
    </message>
    <message>
        <source>Move the copied files into FOLDER, or, without one, into the folder of the file-manager window in front.</source>
        <translation>Die kopierten Dateien nach FOLDER verschieben, oder ohne FOLDER in den Ordner des Dateiverwaltungsfensters im Vordergrund.</translation>
    </message>
    <message>
        <source>A folder path or URI, for --paste or --move.</source>
        <translation>Ein Ordnerpfad oder eine URI, für --paste oder --move.</translation>
    </message>
    <message>
        <source>Give --paste or --move, not both.</source>
        <translation>Geben Sie --paste oder --move an, nicht beide.</translation>
    </message>
    <message>
        <source>A folder goes with --paste or --move.</source>
        <translation>Ein Ordner gehört zu --paste oder --move.</translation>
    </message>
    <message>
        <source>Give at most one folder.</source>
        <translation>Geben Sie höchstens einen Ordner an.</translation>
    </message>
</context>
<context>
    <name>CutCopyWController</name>
    <message>
        <source>Checking the copies…</source>
        <translation>Die Kopien werden geprüft…</translation>
    </message>
    <message>
        <source>%1 of %2 checked</source>
        <translation>%1 von %2 geprüft</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Copying to “%1” — Ferrymark</source>
        <translation>Kopieren nach „%1“ — Ferrymark</translation>
    </message>
    <message>
        <source>%1 Items (%2)</source>
        <translation>%1 Objekte (%2)</translation>
    </message>
    <message>
        <source>Copying %1 Items to &quot;%2&quot;</source>
        <translation>%1 Objekte werden nach „%2“ kopiert</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>About %1 remain</source>
        <translation>Noch etwa %1</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 Sekunden</translation>
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
        <source>%1 hour</source>
        <translation>%1 Stunde</translation>
    </message>
    <message>
        <source>%1 hours</source>
        <translation>%1 Stunden</translation>
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
        <source>Finishing: writing the copies to the disk…</source>
        <translation>Abschluss: Die Kopien werden auf den Datenträger geschrieben…</translation>
    </message>
    <message>
        <source>.</source>
        <comment>decimal separator of sizes</comment>
        <translation>,</translation>
    </message>
    <message>
        <source>Waiting to copy to &quot;%1&quot;</source>
        <translation>Wartet darauf, nach „%1“ zu kopieren</translation>
    </message>
    <message>
        <source>Waiting until another transfer to the same disk has ended.</source>
        <translation>Wartet, bis eine andere Übertragung auf denselben Datenträger beendet ist.</translation>
    </message>
    <message>
        <source>Waiting until the move of “%1” and more to “%2” has ended: it uses the same disk.</source>
        <translation>Wartet, bis das Verschieben von „%1“ und weiteren Objekten nach „%2“ beendet ist: Es nutzt denselben Datenträger.</translation>
    </message>
    <message>
        <source>Waiting until the move of “%1” to “%2” has ended: it uses the same disk.</source>
        <translation>Wartet, bis das Verschieben von „%1“ nach „%2“ beendet ist: Es nutzt denselben Datenträger.</translation>
    </message>
    <message>
        <source>Waiting until the copy of “%1” and more to “%2” has ended: it uses the same disk.</source>
        <translation>Wartet, bis das Kopieren von „%1“ und weiteren Objekten nach „%2“ beendet ist: Es nutzt denselben Datenträger.</translation>
    </message>
    <message>
        <source>Waiting until the copy of “%1” to “%2” has ended: it uses the same disk.</source>
        <translation>Wartet, bis das Kopieren von „%1“ nach „%2“ beendet ist: Es nutzt denselben Datenträger.</translation>
    </message>
</context>
<context>
    <name>CutCopyWindow</name>
    <message>
        <source>Ferrymark</source>
        <translation>Ferrymark</translation>
    </message>
    <message>
        <source>Preparing to copy to &quot;%@&quot;</source>
        <translation>Kopieren nach „%@“ wird vorbereitet</translation>
    </message>
    <message>
        <source>Counting items…</source>
        <translation>Objekte werden gezählt …</translation>
    </message>
    <message>
        <source>Estimating time…</source>
        <translation>Zeit wird geschätzt …</translation>
    </message>
    <message>
        <source>Show or hide the details</source>
        <translation>Details ein- oder ausblenden</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Start alongside the transfer that uses the same disk</source>
        <translation>Neben der Übertragung starten, die denselben Datenträger nutzt</translation>
    </message>
    <message>
        <source>Start now</source>
        <translation>Jetzt starten</translation>
    </message>
</context>
<context>
    <name>InstanceClient</name>
    <message>
        <source>No session bus was found; start Ferrymark inside your desktop session.</source>
        <translation>Es wurde kein Sitzungsbus gefunden; starten Sie Ferrymark in Ihrer Desktop-Sitzung.</translation>
    </message>
    <message>
        <source>Ferrymark is not running, and it needs a graphical desktop session to start (no DISPLAY).</source>
        <translation>Ferrymark läuft nicht und braucht zum Starten eine grafische Desktop-Sitzung (kein DISPLAY).</translation>
    </message>
    <message>
        <source>Ferrymark could not be started.</source>
        <translation>Ferrymark konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Ferrymark was started but did not come up in time.</source>
        <translation>Ferrymark wurde gestartet, war aber nicht rechtzeitig bereit.</translation>
    </message>
</context>
<context>
    <name>LinkPreference</name>
    <message>
        <source>Links inside folders</source>
        <translation>Verknüpfungen in Ordnern</translation>
    </message>
    <message>
        <source>Copy what they point to</source>
        <translation>Kopieren, worauf sie zeigen</translation>
    </message>
    <message>
        <source>Keep them as links</source>
        <translation>Als Verknüpfungen behalten</translation>
    </message>
</context>
<context>
    <name>TurnsPreference</name>
    <message>
        <source>Transfers to the same disk take turns</source>
        <translation>Übertragungen auf denselben Datenträger nacheinander ausführen</translation>
    </message>
    <message>
        <source>One transfer at a time on each disk is faster than several at once. A waiting transfer can still be started at once from its window.</source>
        <translation>Eine Übertragung nach der anderen ist auf jedem Datenträger schneller als mehrere gleichzeitig. Eine wartende Übertragung lässt sich in ihrem Fenster trotzdem sofort starten.</translation>
    </message>
</context>
<context>
    <name>OutcomeTexts</name>
    <message>
        <source>1 item</source>
        <translation>1 Objekt</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>%1 Objekte</translation>
    </message>
    <message>
        <source>Moved %1 to “%2”</source>
        <translation>%1 nach „%2“ verschoben</translation>
    </message>
    <message>
        <source>Copied %1 to “%2”</source>
        <translation>%1 nach „%2“ kopiert</translation>
    </message>
    <message>
        <source>Transfer to “%1” stopped</source>
        <translation>Übertragung nach „%1“ gestoppt</translation>
    </message>
    <message>
        <source>Not everything was moved to “%1”</source>
        <translation>Nicht alles wurde nach „%1“ verschoben</translation>
    </message>
    <message>
        <source>Not everything was copied to “%1”</source>
        <translation>Nicht alles wurde nach „%1“ kopiert</translation>
    </message>
    <message>
        <source>%1 transferred before the stop.</source>
        <translation>%1 vor dem Stopp übertragen.</translation>
    </message>
    <message>
        <source>%1 transferred, %2 not transferred.</source>
        <translation>%1 übertragen, %2 nicht übertragen.</translation>
    </message>
    <message>
        <source>Nothing was left out before the stop; items not reached are not listed.</source>
        <translation>Vor dem Stopp wurde nichts ausgelassen; nicht erreichte Objekte werden nicht aufgeführt.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source> — %1</source>
        <translation> — %1</translation>
    </message>
    <message>
        <source>and %1 more not listed</source>
        <translation>und %1 weitere, nicht aufgeführt</translation>
    </message>
</context>
<context>
    <name>PromptTexts</name>
    <message>
        <source>The disk reported an error while saving “%1”: %2. Choose Retry to try again or Skip to leave it out, and click continue.</source>
        <translation>Der Datenträger hat beim Speichern von „%1“ einen Fehler gemeldet: %2. Wählen Sie „Wiederholen“, um es erneut zu versuchen, oder „Überspringen“, um es auszulassen, und klicken Sie auf „Fortfahren“.</translation>
    </message>
    <message>
        <source>An item named “%1” already exists in this location. Do you want to replace it with the one you’re moving?</source>
        <translation>An diesem Ort gibt es bereits ein Objekt namens „%1“. Möchten Sie es durch das Objekt ersetzen, das Sie verschieben?</translation>
    </message>
    <message>
        <source>A directory named “%1” already exists in this location. Do you want to merge it with the one you’re moving?</source>
        <translation>An diesem Ort gibt es bereits einen Ordner namens „%1“. Möchten Sie ihn mit dem Ordner zusammenführen, den Sie verschieben?</translation>
    </message>
    <message>
        <source>Can not copy to specified location, permission denied. Click continue to skip.</source>
        <translation>An den angegebenen Ort kann nicht kopiert werden, die Berechtigung fehlt. Klicken Sie auf „Fortfahren“, um zu überspringen.</translation>
    </message>
    <message>
        <source>Operation paused as the disk is full. Free up some space and click continue to retry.</source>
        <translation>Der Vorgang ist angehalten, weil der Datenträger voll ist. Schaffen Sie Platz und klicken Sie auf „Fortfahren“, um es erneut zu versuchen.</translation>
    </message>
    <message>
        <source>Can not read “%1”. Click continue to skip.</source>
        <translation>„%1“ kann nicht gelesen werden. Klicken Sie auf „Fortfahren“, um es zu überspringen.</translation>
    </message>
    <message>
        <source>You do not have the permission to replace existing file “%1”.</source>
        <translation>Sie haben keine Berechtigung, die vorhandene Datei „%1“ zu ersetzen.</translation>
    </message>
    <message>
        <source>You do not have the permission to replace existing directory “%1”, the directory cannot be copied.</source>
        <translation>Sie haben keine Berechtigung, den vorhandenen Ordner „%1“ zu ersetzen; der Ordner kann nicht kopiert werden.</translation>
    </message>
    <message>
        <source>“%1” can not replace “%2”, because it is inside it. Nothing was replaced. Click continue to skip.</source>
        <translation>„%1“ kann „%2“ nicht ersetzen, weil es darin liegt. Es wurde nichts ersetzt. Klicken Sie auf „Fortfahren“, um es zu überspringen.</translation>
    </message>
    <message>
        <source>You can’t paste “%1” at this location because you can’t paste an item into itself.</source>
        <translation>Sie können „%1“ nicht an diesem Ort einfügen, weil ein Objekt nicht in sich selbst eingefügt werden kann.</translation>
    </message>
    <message>
        <source>File copying in Progress. Do you want to quit application. Click Yes to abort copying operation.</source>
        <translation>Dateien werden gerade kopiert. Möchten Sie das Programm beenden? Klicken Sie auf „Ja“, um das Kopieren abzubrechen.</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>SessionPlatform</name>
    <message>
        <source>Ferrymark&apos;s keys come through the desktop portal here: GNOME asks you once to add them, and you can change them later under Settings, Apps, Ferrymark. GNOME still tells no program which folder is open, so a key can not paste into the window in front: choose &quot;Paste Here with Ferrymark&quot; in the file manager&apos;s menu to give the folder. GNOME shows Ferrymark&apos;s tray menu only with the AppIndicator extension (package gnome-shell-extension-appindicator).</source>
        <translation>Ferrymarks Tastenkürzel kommen hier über das Desktop-Portal: GNOME fragt Sie einmal, ob sie hinzugefügt werden sollen, und unter Einstellungen, Apps, Ferrymark können Sie sie später ändern. GNOME verrät weiterhin keinem Programm, welcher Ordner offen ist, daher kann ein Tastenkürzel nicht in das Fenster im Vordergrund einfügen: Wählen Sie „Hier mit Ferrymark einfügen“ im Menü der Dateiverwaltung, um den Ordner anzugeben. Ferrymarks Menü im Systembereich zeigt GNOME nur mit der Erweiterung AppIndicator (Paket gnome-shell-extension-appindicator).</translation>
    </message>
    <message>
        <source>In sway&apos;s configuration, for example:
bindsym Mod4+Mod1+v exec ferrymark --paste
bindsym Mod4+Mod1+m exec ferrymark --move</source>
        <translation>In der Konfiguration von sway, zum Beispiel:
bindsym Mod4+Mod1+v exec ferrymark --paste
bindsym Mod4+Mod1+m exec ferrymark --move</translation>
    </message>
    <message>
        <source>GNOME tells no program which folder is open: choose &quot;Paste Here with Ferrymark&quot; in the file manager&apos;s menu, or add a custom shortcut under Settings, Keyboard that runs &quot;ferrymark --paste&quot; with a folder. GNOME shows Ferrymark&apos;s tray menu only with the AppIndicator extension (package gnome-shell-extension-appindicator).</source>
        <translation>GNOME verrät keinem Programm, welcher Ordner offen ist: Wählen Sie „Hier mit Ferrymark einfügen“ im Menü der Dateiverwaltung, oder legen Sie unter Einstellungen, Tastatur ein eigenes Tastenkürzel an, das „ferrymark --paste“ mit einem Ordner ausführt. Ferrymarks Menü im Systembereich zeigt GNOME nur mit der Erweiterung AppIndicator (Paket gnome-shell-extension-appindicator).</translation>
    </message>
    <message>
        <source>Add them in the desktop&apos;s keyboard settings as custom shortcuts that run &quot;ferrymark --paste&quot; and &quot;ferrymark --move&quot;.</source>
        <translation>Legen Sie sie in den Tastatureinstellungen der Arbeitsumgebung als eigene Tastenkürzel an, die „ferrymark --paste“ und „ferrymark --move“ ausführen.</translation>
    </message>
    <message>
        <source>On this Wayland desktop Ferrymark cannot take global keys for itself. %1</source>
        <translation>Auf dieser Wayland-Arbeitsumgebung kann Ferrymark keine globalen Tastenkürzel für sich belegen. %1</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <source>Paste Here</source>
        <translation>Hier einfügen</translation>
    </message>
    <message>
        <source>Move Here</source>
        <translation>Hierher verschieben</translation>
    </message>
    <message>
        <source>Transfers</source>
        <translation>Übertragungen</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>About Ferrymark</source>
        <translation>Über Ferrymark</translation>
    </message>
    <message>
        <source>Quit Ferrymark</source>
        <translation>Ferrymark beenden</translation>
    </message>
    <message>
        <source>Add to File Managers</source>
        <translation>Zu Dateiverwaltungen hinzufügen</translation>
    </message>
    <message>
        <source>Remove from File Managers</source>
        <translation>Aus Dateiverwaltungen entfernen</translation>
    </message>
</context>
<context>
    <name>TransferDiskUse</name>
    <message>
        <source>The transfer to “%1” still uses it.</source>
        <translation>Die Übertragung nach „%1“ verwendet ihn noch.</translation>
    </message>
</context>
<context>
    <name>TransferReport</name>
    <message>
        <source>the disk reported an error while saving it, so this copy may be damaged</source>
        <translation>der Datenträger hat beim Speichern einen Fehler gemeldet, diese Kopie ist möglicherweise beschädigt</translation>
    </message>
    <message>
        <source>not copied: the disk reported an error while writing it</source>
        <translation>nicht kopiert: der Datenträger hat beim Schreiben einen Fehler gemeldet</translation>
    </message>
    <message>
        <source>the copy differs from the original</source>
        <translation>die Kopie weicht vom Original ab</translation>
    </message>
</context>
<context>
    <name>TurnLockDiskUse</name>
    <message>
        <source>Another program&apos;s transfer still uses it.</source>
        <translation>Die Übertragung eines anderen Programms verwendet ihn noch.</translation>
    </message>
    <message>
        <source>Another program&apos;s transfer still uses it: %1</source>
        <translation>Die Übertragung eines anderen Programms verwendet ihn noch: %1</translation>
    </message>
</context>
<context>
    <name>ferrymark::AppDelegate</name>
    <message>
        <source>There is no such command.</source>
        <translation>Diesen Befehl gibt es nicht.</translation>
    </message>
    <message>
        <source>Choose a letter, digit or sign together with modifier keys.</source>
        <translation>Wählen Sie einen Buchstaben, eine Ziffer oder ein Zeichen zusammen mit Zusatztasten.</translation>
    </message>
    <message>
        <source>A hot key needs Ctrl, Alt or the Super key, so that typing is not taken.</source>
        <translation>Ein Tastenkürzel braucht Strg, Alt oder die Super-Taste, damit das Tippen nicht blockiert wird.</translation>
    </message>
    <message>
        <source>%1 already uses this key.</source>
        <translation>%1 verwendet diese Taste bereits.</translation>
    </message>
    <message>
        <source>%1 can not be used: another program holds it, or no key of the keyboard types it. The hot key stays %2.</source>
        <translation>%1 kann nicht verwendet werden: Ein anderes Programm belegt es, oder keine Taste der Tastatur erzeugt es. Das Tastenkürzel bleibt %2.</translation>
    </message>
    <message>
        <source>About Ferrymark</source>
        <translation>Über Ferrymark</translation>
    </message>
    <message>
        <source>&lt;b&gt;Ferrymark %1&lt;/b&gt;&lt;p&gt;Pastes and moves the files you copy in your file manager, with progress, and never loses one.&lt;/p&gt;&lt;p&gt;MIT licence.&lt;/p&gt;</source>
        <translation>&lt;b&gt;Ferrymark %1&lt;/b&gt;&lt;p&gt;Fügt die Dateien, die Sie in Ihrer Dateiverwaltung kopieren, ein oder verschiebt sie, zeigt den Fortschritt und verliert keine einzige.&lt;/p&gt;&lt;p&gt;MIT-Lizenz.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Add &quot;Paste Here with Ferrymark&quot; and &quot;Move Here with Ferrymark&quot; to the menus of your file managers? The tray menu&apos;s &quot;Remove from File Managers&quot; takes them out again.</source>
        <translation>„Hier mit Ferrymark einfügen“ und „Hier mit Ferrymark verschieben“ zu den Menüs Ihrer Dateiverwaltungen hinzufügen? „Aus Dateiverwaltungen entfernen“ im Menü der Kontrollleiste nimmt sie wieder heraus.</translation>
    </message>
    <message>
        <source>Nothing was pasted</source>
        <translation>Es wurde nichts eingefügt</translation>
    </message>
    <message>
        <source>No file-manager window is in front. Click into the folder&apos;s window first, or choose &quot;Paste Here with Ferrymark&quot; in the file manager&apos;s own menu.</source>
        <translation>Kein Fenster einer Dateiverwaltung ist im Vordergrund. Klicken Sie zuerst in das Fenster des Ordners, oder wählen Sie „Hier mit Ferrymark einfügen“ im Menü der Dateiverwaltung.</translation>
    </message>
    <message>
        <source>The file manager in front did not tell Ferrymark its folder (%1). Choose &quot;Paste Here with Ferrymark&quot; in its own menu; &quot;Add to File Managers&quot; in Ferrymark&apos;s tray menu puts it there.</source>
        <translation>Die Dateiverwaltung im Vordergrund hat Ferrymark ihren Ordner nicht mitgeteilt (%1). Wählen Sie „Hier mit Ferrymark einfügen“ in ihrem eigenen Menü; „Zu Dateiverwaltungen hinzufügen“ im Ferrymark-Menü der Kontrollleiste fügt es dort ein.</translation>
    </message>
    <message>
        <source>Ferrymark pastes only into a folder on a local disk, or one the desktop makes reachable as one: %1.</source>
        <translation>Ferrymark fügt nur in einen Ordner auf einem lokalen Datenträger ein, oder in einen, den der Desktop wie einen solchen erreichbar macht: %1.</translation>
    </message>
    <message>
        <source>The clipboard holds no copied files. Copy them in the file manager first.</source>
        <translation>Die Zwischenablage enthält keine kopierten Dateien. Kopieren Sie sie zuerst in der Dateiverwaltung.</translation>
    </message>
    <message>
        <source>Also give them the keys Ctrl+Alt+V and Ctrl+Alt+M in the file managers that have keys for their entries (Nautilus, Thunar)? A key that is already in use there is left as it is.</source>
        <translation>Ihnen auch die Tasten Strg+Alt+V und Strg+Alt+M geben, in den Dateiverwaltungen, die Tasten für ihre Einträge haben (Nautilus, Thunar)? Eine Taste, die dort schon belegt ist, bleibt unverändert.</translation>
    </message>
    <message>
        <source>Paste Here with Ferrymark</source>
        <translation>Hier mit Ferrymark einfügen</translation>
    </message>
    <message>
        <source>Move Here with Ferrymark</source>
        <translation>Hier mit Ferrymark verschieben</translation>
    </message>
    <message>
        <source>No file manager Ferrymark knows is installed.</source>
        <translation>Es ist keine Dateiverwaltung installiert, die Ferrymark kennt.</translation>
    </message>
    <message>
        <source>&quot;Paste Here with Ferrymark&quot; and &quot;Move Here with Ferrymark&quot; are in the menus of: %1. Open a new window of the file manager to see them.</source>
        <translation>„Hier mit Ferrymark einfügen“ und „Hier mit Ferrymark verschieben“ stehen in den Menüs von: %1. Öffnen Sie ein neues Fenster der Dateiverwaltung, um sie zu sehen.</translation>
    </message>
    <message>
        <source>Ferrymark&apos;s entries were taken out of: %1.</source>
        <translation>Die Einträge von Ferrymark wurden entfernt aus: %1.</translation>
    </message>
    <message>
        <source>File managers</source>
        <translation>Dateiverwaltungen</translation>
    </message>
    <message>
        <source>File managers: not everything was done</source>
        <translation>Dateiverwaltungen: Nicht alles wurde erledigt</translation>
    </message>
    <message>
        <source>Ferrymark&apos;s keys on this desktop</source>
        <translation>Ferrymarks Tastenkürzel auf dieser Arbeitsumgebung</translation>
    </message>
</context>
<context>
    <name>ferrymark::ConflictComparison</name>
    <message>
        <source>No longer there</source>
        <translation>Nicht mehr vorhanden</translation>
    </message>
    <message>
        <source>Not a file or folder</source>
        <translation>Weder Datei noch Ordner</translation>
    </message>
    <message>
        <source>%1 (1 byte)</source>
        <translation>%1 (1 Byte)</translation>
    </message>
    <message>
        <source>%1 (%2 bytes)</source>
        <translation>%1 (%2 Bytes)</translation>
    </message>
    <message>
        <source>Counting…</source>
        <translation>Wird gezählt …</translation>
    </message>
    <message>
        <source>More than %1 items, at least %2</source>
        <translation>Mehr als %1 Objekte, mindestens %2</translation>
    </message>
    <message>
        <source>At least %1 items, %2</source>
        <translation>Mindestens %1 Objekte, %2</translation>
    </message>
    <message>
        <source>1 item, %1</source>
        <translation>1 Objekt, %1</translation>
    </message>
    <message>
        <source>%1 items, %2</source>
        <translation>%1 Objekte, %2</translation>
    </message>
    <message>
        <source>Modified %1</source>
        <translation>Geändert: %1</translation>
    </message>
    <message>
        <source>Existing item</source>
        <translation>Vorhandenes Objekt</translation>
    </message>
    <message>
        <source>Item being pasted</source>
        <translation>Einzufügendes Objekt</translation>
    </message>
    <message>
        <source>Same size and modification time: the two look identical.</source>
        <translation>Gleiche Größe und Änderungszeit: Die beiden scheinen gleich zu sein.</translation>
    </message>
    <message>
        <source>Larger</source>
        <translation>Größer</translation>
    </message>
    <message>
        <source>Newer</source>
        <translation>Neuer</translation>
    </message>
</context>
<context>
    <name>ferrymark::PlasmaJobView</name>
    <message>
        <source>Moving</source>
        <translation>Verschieben</translation>
    </message>
    <message>
        <source>Copying</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Counting</source>
        <translation>Zählen</translation>
    </message>
    <message>
        <source>Checking the copies</source>
        <translation>Kopien werden geprüft</translation>
    </message>
    <message>
        <source>Writing to the disk</source>
        <translation>Wird auf den Datenträger geschrieben</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <translation>
            <numerusform>%1 und %n weiteres</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Gestoppt</translation>
    </message>
</context>
<context>
    <name>ferrymark::PreferencesWindow</name>
    <message>
        <source>For moves only</source>
        <translation>Nur beim Verschieben</translation>
    </message>
    <message>
        <source>For every transfer</source>
        <translation>Bei jeder Übertragung</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Check copies against their originals:</source>
        <translation>Kopien mit ihren Originalen vergleichen:</translation>
    </message>
    <message>
        <source>Ferrymark Preferences</source>
        <translation>Ferrymark-Einstellungen</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>The autostart entry could not be changed.</source>
        <translation>Der Autostart-Eintrag konnte nicht geändert werden.</translation>
    </message>
    <message>
        <source>Hot keys</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>%1 is now %2.</source>
        <translation>%1 ist jetzt %2.</translation>
    </message>
</context>
<context>
    <name>ferrymark::SafeRemoval</name>
    <message>
        <source>“%1” was not ejected</source>
        <translation>„%1“ wurde nicht ausgeworfen</translation>
    </message>
    <message>
        <source>It is no longer connected.</source>
        <translation>Er ist nicht mehr angeschlossen.</translation>
    </message>
    <message>
        <source>The system&apos;s disk service can not be reached: %1</source>
        <translation>Der Datenträgerdienst des Systems ist nicht erreichbar: %1</translation>
    </message>
    <message>
        <source>“%1” can be unplugged now</source>
        <translation>„%1“ kann jetzt abgezogen werden</translation>
    </message>
    <message>
        <source>It could not be unmounted: %1</source>
        <translation>Er konnte nicht ausgehängt werden: %1</translation>
    </message>
    <message>
        <source>It was unmounted but could not be powered off: %1</source>
        <translation>Er wurde ausgehängt, konnte aber nicht ausgeschaltet werden: %1</translation>
    </message>
    <message>
        <source>It was unmounted but could not be ejected: %1</source>
        <translation>Er wurde ausgehängt, konnte aber nicht ausgeworfen werden: %1</translation>
    </message>
</context>
<context>
    <name>ferrymark::TransferNotices</name>
    <message>
        <source>Show the list</source>
        <translation>Liste anzeigen</translation>
    </message>
    <message>
        <source>Everything is written to “%1”. Choose Eject, then it can be unplugged.</source>
        <translation>Alles ist auf „%1“ geschrieben. Wählen Sie „Auswerfen“, dann kann er abgezogen werden.</translation>
    </message>
    <message>
        <source>Everything is written to “%1”.</source>
        <translation>Alles ist auf „%1“ geschrieben.</translation>
    </message>
    <message>
        <source>Eject</source>
        <translation>Auswerfen</translation>
    </message>
</context>
<context>
    <name>ferrymark::TransferReportWindow</name>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>ferrymark::WindowMenu</name>
    <message>
        <source>%1 (waiting)</source>
        <translation>%1 (wartet)</translation>
    </message>
</context>
</TS>
