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
</context>
<context>
    <name>ferrymark::AppDelegate</name>
    <message>
        <source>Ferrymark's keys on this desktop</source>
        <translation>Ferrymarks Tastenkürzel auf dieser Arbeitsumgebung</translation>
    </message>
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
</context>
<context>
    <name>CutCopyWController</name>
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
</context>
<context>
    <name>ferrymark::PreferencesWindow</name>
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
</context>
<context>
    <name>SessionPlatform</name>
    <message>
        <source>In sway's configuration, for example:
bindsym Mod4+Mod1+v exec ferrymark --paste
bindsym Mod4+Mod1+m exec ferrymark --move</source>
        <translation>In der Konfiguration von sway, zum Beispiel:
bindsym Mod4+Mod1+v exec ferrymark --paste
bindsym Mod4+Mod1+m exec ferrymark --move</translation>
    </message>
    <message>
        <source>GNOME tells no program which folder is open: choose "Paste Here with Ferrymark" in the file manager's menu, or add a custom shortcut under Settings, Keyboard that runs "ferrymark --paste" with a folder. GNOME shows Ferrymark's tray menu only with the AppIndicator extension (package gnome-shell-extension-appindicator).</source>
        <translation>GNOME verrät keinem Programm, welcher Ordner offen ist: Wählen Sie „Paste Here with Ferrymark“ im Menü der Dateiverwaltung, oder legen Sie unter Einstellungen, Tastatur ein eigenes Tastenkürzel an, das „ferrymark --paste“ mit einem Ordner ausführt. Ferrymarks Menü im Systembereich zeigt GNOME nur mit der Erweiterung AppIndicator (Paket gnome-shell-extension-appindicator).</translation>
    </message>
    <message>
        <source>Add them in the desktop's keyboard settings as custom shortcuts that run "ferrymark --paste" and "ferrymark --move".</source>
        <translation>Legen Sie sie in den Tastatureinstellungen der Arbeitsumgebung als eigene Tastenkürzel an, die „ferrymark --paste“ und „ferrymark --move“ ausführen.</translation>
    </message>
    <message>
        <source>On this Wayland desktop Ferrymark cannot take global keys for itself. %1</source>
        <translation>Auf dieser Wayland-Arbeitsumgebung kann Ferrymark keine globalen Tastenkürzel für sich belegen. %1</translation>
    </message>
</context>
</TS>
