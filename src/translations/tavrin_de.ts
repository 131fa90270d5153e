<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>BankMenu</name>
    <message>
        <source>Choose the bank of memories (%1, %2)</source>
        <translation>Speicherbank wählen (%1, %2)</translation>
    </message>
    <message>
        <source>Bank %1</source>
        <translation>Bank %1</translation>
    </message>
    <message>
        <source>Bank: %1</source>
        <translation>Bank: %1</translation>
    </message>
    <message>
        <source>New Bank</source>
        <translation>Neue Bank</translation>
    </message>
    <message>
        <source>Name of the new bank of memories:</source>
        <translation>Name der neuen Speicherbank:</translation>
    </message>
</context>
<context>
    <name>CatDialog</name>
    <message>
        <source>Model default</source>
        <translation>Standard des Modells</translation>
    </message>
    <message>
        <source>Radio (CAT)</source>
        <translation>Funkgerät (CAT)</translation>
    </message>
    <message>
        <source>Search rig models</source>
        <translation>Gerätemodell suchen</translation>
    </message>
    <message>
        <source>Rig model</source>
        <translation>Gerätemodell</translation>
    </message>
    <message>
        <source>Serial port</source>
        <translation>Serielle Schnittstelle</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>rigctld address</source>
        <translation>rigctld-Adresse</translation>
    </message>
    <message>
        <source>Hamlib NET rigctl reaches a rigctld at host:port; every other model is reached on the serial port.</source>
        <translation>Hamlib NET rigctl erreicht einen rigctld unter Host:Port; jedes andere Modell wird über die serielle Schnittstelle erreicht.</translation>
    </message>
</context>
<context>
    <name>Cm108Dialog</name>
    <message>
        <source>hidraw device</source>
        <translation>hidraw-Gerät</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>Record into the selected memory</source>
        <translation>In den gewählten Speicher aufnehmen</translation>
    </message>
    <message>
        <source>Repeat the message after the loop delay</source>
        <translation>Die Nachricht nach der Schleifenpause wiederholen</translation>
    </message>
    <message>
        <source>Key the transmitter without sound</source>
        <translation>Den Sender ohne Ton tasten</translation>
    </message>
    <message>
        <source>Key the transmitter while playing</source>
        <translation>Den Sender während der Wiedergabe tasten</translation>
    </message>
    <message>
        <source>Play or pause the selected memory (F1 … F12 play a memory at once)</source>
        <translation>Gewählten Speicher abspielen oder anhalten (F1 … F12 spielen einen Speicher sofort ab)</translation>
    </message>
    <message>
        <source>Stop the message (Esc stops everything)</source>
        <translation>Nachricht stoppen (Esc stoppt alles)</translation>
    </message>
    <message>
        <source>Stop and cancel the loop (Esc)</source>
        <translation>Stoppen und Schleife beenden (Esc)</translation>
    </message>
    <message>
        <source>Microphone on the transmitter</source>
        <translation>Mikrofon auf den Sender</translation>
    </message>
    <message>
        <source>Open the sound mixer</source>
        <translation>Den Audiomischer öffnen</translation>
    </message>
    <message>
        <source>Whether the transmitter is keyed</source>
        <translation>Ob der Sender getastet ist</translation>
    </message>
    <message>
        <source>Flashes when the station must identify</source>
        <translation>Blinkt, wenn das Rufzeichen fällig ist</translation>
    </message>
    <message>
        <source>Identification alarm</source>
        <translation>Rufzeichen-Erinnerung</translation>
    </message>
    <message>
        <source>Playback progress</source>
        <translation>Wiedergabefortschritt</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>Tastatur</translation>
    </message>
    <message>
        <source>phrase %1</source>
        <translation>Phrase %1</translation>
    </message>
    <message>
        <source>memory %1</source>
        <translation>Speicher %1</translation>
    </message>
    <message>
        <source>Transmit enable</source>
        <translation>Senden freigegeben</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>REC, recording</source>
        <translation>REC, Aufnahme läuft</translation>
    </message>
    <message>
        <source>PLAY, playing</source>
        <translation>PLAY, Wiedergabe läuft</translation>
    </message>
    <message>
        <source>PLAY, paused</source>
        <translation>PLAY, angehalten</translation>
    </message>
    <message>
        <source>Note for memory %1</source>
        <translation>Notiz zu Speicher %1</translation>
    </message>
    <message>
        <source>F%1 plays, Shift+F%1 selects</source>
        <translation>F%1 spielt ab, Umschalt+F%1 wählt</translation>
    </message>
    <message>
        <source>Receive/transmit indicator, </source>
        <translation>Anzeige Empfang/Senden, </translation>
    </message>
    <message>
        <source>Receiving</source>
        <translation>Empfang</translation>
    </message>
    <message>
        <source>Transmitting, unkey not confirmed</source>
        <translation>Senden, Abfall nicht bestätigt</translation>
    </message>
    <message>
        <source>Transmitting</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Memory %1</source>
        <translation>Speicher %1</translation>
    </message>
    <message>
        <source>selected</source>
        <translation>gewählt</translation>
    </message>
    <message>
        <source>template %1</source>
        <translation>Vorlage %1</translation>
    </message>
    <message>
        <source>empty</source>
        <translation>leer</translation>
    </message>
    <message>
        <source> seconds</source>
        <translation> Sekunden</translation>
    </message>
    <message>
        <source>Recording %1: %2 s</source>
        <translation>Aufnahme %1: %2 s</translation>
    </message>
    <message>
        <source>, clipping</source>
        <translation>, übersteuert</translation>
    </message>
    <message>
        <source>%1 %2: %3 s, %4 s left</source>
        <translation>%1 %2: %3 s, noch %4 s</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Input level</source>
        <translation>Eingangspegel</translation>
    </message>
    <message>
        <source>Recording %1</source>
        <translation>Aufnahme %1</translation>
    </message>
    <message>
        <source>Playing %1</source>
        <translation>Wiedergabe %1</translation>
    </message>
    <message>
        <source>Paused %1</source>
        <translation>Angehalten %1</translation>
    </message>
    <message>
        <source>Recorded %1: %2 seconds</source>
        <translation>Aufgenommen %1: %2 Sekunden</translation>
    </message>
    <message>
        <source> of silence</source>
        <translation> Stille</translation>
    </message>
    <message>
        <source>Playback ended</source>
        <translation>Wiedergabe beendet</translation>
    </message>
    <message>
        <source>Nothing to play in %1</source>
        <translation>Nichts abzuspielen in %1</translation>
    </message>
    <message>
        <source>Memory %1 is empty</source>
        <translation>Speicher %1 ist leer</translation>
    </message>
    <message>
        <source>Stopped by the operator&apos;s PTT</source>
        <translation>Durch die PTT des Operators gestoppt</translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <source>%1: no sound in it</source>
        <translation>%1: kein Ton darin</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not recorded in %2</source>
        <translation>„%1“ ist in %2 nicht aufgenommen</translation>
    </message>
    <message>
        <source>{%1}: memories are 1 to %2</source>
        <translation>{%1}: Speicher sind 1 bis %2</translation>
    </message>
    <message>
        <source>memory %1 is empty</source>
        <translation>Speicher %1 ist leer</translation>
    </message>
    <message>
        <source>{%1} is no field: {mem N}, {serial}, {serial:03} or {call}</source>
        <translation>{%1} ist kein Feld: {mem N}, {serial}, {serial:03} oder {call}</translation>
    </message>
    <message>
        <source>the field %1 is not set</source>
        <translation>das Feld %1 ist nicht gesetzt</translation>
    </message>
</context>
<context>
    <name>FileMenu</name>
    <message>
        <source>Template for Memory %1</source>
        <translation>Vorlage für Speicher %1</translation>
    </message>
    <message>
        <source>Spoken from the phrases instead of the recording, e.g. {mem 3} {serial} {call} or five nine {serial:03}. Empty: the recording plays.</source>
        <translation>Statt der Aufnahme aus den Phrasen gesprochen, z. B. {mem 3} {serial} {call} oder five nine {serial:03}. Leer: die Aufnahme spielt.</translation>
    </message>
    <message>
        <source>The template was not saved: %1</source>
        <translation>Die Vorlage wurde nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>Memory %1 plays its recording</source>
        <translation>Speicher %1 spielt seine Aufnahme</translation>
    </message>
    <message>
        <source>Memory %1 is a template: %2</source>
        <translation>Speicher %1 ist eine Vorlage: %2</translation>
    </message>
    <message>
        <source>Importing %1 into memory %2</source>
        <translation>%1 wird in Speicher %2 importiert</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Import Message</source>
        <translation>Nachricht importieren</translation>
    </message>
</context>
<context>
    <name>IdAlarm</name>
    <message>
        <source>Timer Error</source>
        <translation>Timerfehler</translation>
    </message>
    <message>
        <source>Alarm Timer:</source>
        <translation>Alarmtimer:</translation>
    </message>
    <message>
        <source>Set the alarm time in Seconds</source>
        <translation>Alarmzeit in Sekunden einstellen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a whole number of seconds.</source>
        <translation>„%1“ ist keine ganze Zahl von Sekunden.</translation>
    </message>
    <message>
        <source>Enter a value greater than 2 seconds</source>
        <translation>Geben Sie einen Wert über 2 Sekunden ein</translation>
    </message>
    <message>
        <source>Enter a value no greater than %1 seconds</source>
        <translation>Geben Sie einen Wert von höchstens %1 Sekunden ein</translation>
    </message>
</context>
<context>
    <name>Keyer</name>
    <message>
        <source>Wave Device Message</source>
        <translation>Meldung des Audiogeräts</translation>
    </message>
    <message>
        <source>Could not write the Wave file: %1</source>
        <translation>Die Wave-Datei konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>no sound moved for %1 s</source>
        <translation>seit %1 s kein Ton übertragen</translation>
    </message>
    <message>
        <source>Sound stopped on the device %1: </source>
        <translation>Der Ton auf dem Gerät %1 ist ausgefallen: </translation>
    </message>
    <message>
        <source>Could not open the Wave file</source>
        <translation>Die Wave-Datei konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>The recording reached the longest message a file can hold and was stopped</source>
        <translation>Die Aufnahme hat die längste Nachricht erreicht, die eine Datei fassen kann, und wurde beendet</translation>
    </message>
    <message>
        <source>Recording Message</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Memory %1: </source>
        <translation>Speicher %1: </translation>
    </message>
</context>
<context>
    <name>KeyingLine</name>
    <message>
        <source>Communications I/O Error</source>
        <translation>Ein-/Ausgabefehler der Schnittstelle</translation>
    </message>
    <message>
        <source>The operator&apos;s PTT is not watched: %1 does not report its PTT</source>
        <translation>Die PTT des Operators wird nicht überwacht: %1 meldet seine PTT nicht</translation>
    </message>
    <message>
        <source>The operator&apos;s PTT is not watched: it needs a serial keying port</source>
        <translation>Die PTT des Operators wird nicht überwacht: dazu ist eine serielle Tastschnittstelle nötig</translation>
    </message>
    <message>
        <source>The operator&apos;s PTT is not watched: it needs a radio keyed by CAT</source>
        <translation>Die PTT des Operators wird nicht überwacht: dazu ist ein per CAT getastetes Funkgerät nötig</translation>
    </message>
    <message>
        <source>The operator&apos;s PTT is not watched: %1 cannot show its %2 (%3)</source>
        <translation>Die PTT des Operators wird nicht überwacht: %1 kann sein %2 nicht anzeigen (%3)</translation>
    </message>
    <message>
        <source>%1: the key-down was not confirmed within %2 s, so the transmission is refused</source>
        <translation>%1: das Tasten wurde nicht innerhalb von %2 s bestätigt, daher wird nicht gesendet</translation>
    </message>
    <message>
        <source>Could not use the printer port: %1</source>
        <translation>Der Druckeranschluss konnte nicht verwendet werden: %1</translation>
    </message>
    <message>
        <source>Failed to open the comms device</source>
        <translation>Die Schnittstelle konnte nicht geöffnet werden</translation>
    </message>
</context>
<context>
    <name>Level</name>
    <message>
        <source>Peak %1 dBFS</source>
        <translation>Spitze %1 dBFS</translation>
    </message>
    <message>
        <source>Loudness %1 LUFS</source>
        <translation>Lautheit %1 LUFS</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source> LUFS</source>
        <translation> LUFS</translation>
    </message>
    <message>
        <source> dBFS peak</source>
        <translation> dBFS Spitze</translation>
    </message>
    <message>
        <source>Memory %1</source>
        <translation>Speicher %1</translation>
    </message>
    <message>
        <source>%1 dBFS peak</source>
        <translation>%1 dBFS Spitze</translation>
    </message>
    <message>
        <source>%1 levelled to %2: %3%4 dB</source>
        <translation>%1 angeglichen auf %2: %3%4 dB</translation>
    </message>
    <message>
        <source> (held to %1)</source>
        <translation> (begrenzt auf %1)</translation>
    </message>
    <message>
        <source>%1 already reaches %2 and cannot come nearer to %3</source>
        <translation>%1 erreicht bereits %2 und kann nicht näher an %3 kommen</translation>
    </message>
    <message>
        <source>%1 is already at %2</source>
        <translation>%1 liegt bereits bei %2</translation>
    </message>
    <message>
        <source> holds only silence and was not levelled</source>
        <translation> enthält nur Stille und wurde nicht angeglichen</translation>
    </message>
    <message>
        <source> is too short for its loudness to be measured (%1 ms at least) and was not levelled</source>
        <translation> ist zu kurz, um die Lautheit zu messen (mindestens %1 ms), und wurde nicht angeglichen</translation>
    </message>
    <message>
        <source> holds no 16-bit mono message of %1 Hz up to %2 minutes long, and was not levelled</source>
        <translation> enthält keine 16-Bit-Mono-Nachricht mit %1 Hz und höchstens %2 Minuten Länge und wurde nicht angeglichen</translation>
    </message>
    <message>
        <source>Could not level memory %1: %2</source>
        <translation>Speicher %1 konnte nicht angeglichen werden: %2</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>No volume mixer is installed. Tavrin looks for %1.
Install one of them, or set the levels with alsamixer.</source>
        <translation>Kein Lautstärkemischer installiert. Tavrin sucht nach %1.
Installieren Sie einen davon oder stellen Sie die Pegel mit alsamixer ein.</translation>
    </message>
    <message>
        <source>Could not run the help application</source>
        <translation>Die Hilfe konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Tavrin voice keyer for amateur radio stations
</source>
        <translation>Tavrin, Sprachspeicher für Amateurfunkstationen
</translation>
    </message>
    <message>
        <source>Version 1.23</source>
        <translation>Version 1.23</translation>
    </message>
    <message>
        <source>About Tavrin</source>
        <translation>Über Tavrin</translation>
    </message>
    <message>
        <source>F1 … F12</source>
        <translation>F1 … F12</translation>
    </message>
    <message>
        <source>play memory 1 … 12 (a message playing gives way)</source>
        <translation>Speicher 1 … 12 abspielen (eine laufende Nachricht weicht)</translation>
    </message>
    <message>
        <source>Shift+F1 … Shift+F12</source>
        <translation>Umschalt+F1 … Umschalt+F12</translation>
    </message>
    <message>
        <source>select memory 1 … 12</source>
        <translation>Speicher 1 … 12 wählen</translation>
    </message>
    <message>
        <source>Ctrl+F1 … Ctrl+F12</source>
        <translation>Strg+F1 … Strg+F12</translation>
    </message>
    <message>
        <source>preview memory 1 … 12 on the monitor, without keying</source>
        <translation>Speicher 1 … 12 ohne Tasten auf dem Mithörton vorhören</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message>
        <source>stop everything: playback, recording, loop, TUNE</source>
        <translation>alles stoppen: Wiedergabe, Aufnahme, Schleife, TUNE</translation>
    </message>
    <message>
        <source>REC: record into the selected memory</source>
        <translation>REC: in den gewählten Speicher aufnehmen</translation>
    </message>
    <message>
        <source>LOOP on or off</source>
        <translation>LOOP ein oder aus</translation>
    </message>
    <message>
        <source>TUNE on or off</source>
        <translation>TUNE ein oder aus</translation>
    </message>
    <message>
        <source>Tx Enable on or off</source>
        <translation>TX frei ein oder aus</translation>
    </message>
    <message>
        <source>Tab, Shift+Tab</source>
        <translation>Tab, Umschalt+Tab</translation>
    </message>
    <message>
        <source>next or previous control</source>
        <translation>nächstes oder vorheriges Bedienelement</translation>
    </message>
    <message>
        <source>Space, Enter</source>
        <translation>Leertaste, Eingabe</translation>
    </message>
    <message>
        <source>press the focused button</source>
        <translation>die fokussierte Taste drücken</translation>
    </message>
    <message>
        <source>Ctrl+PgUp, Ctrl+PgDown</source>
        <translation>Strg+Bild auf, Strg+Bild ab</translation>
    </message>
    <message>
        <source>previous or next bank of memories</source>
        <translation>vorige oder nächste Speicherbank</translation>
    </message>
</context>
<context>
    <name>MainWindowUi</name>
    <message>
        <source>Type in saved message</source>
        <translation>Notiz zur gespeicherten Nachricht</translation>
    </message>
    <message>
        <source>RST</source>
        <translation>RST</translation>
    </message>
    <message>
        <source>REC</source>
        <translation>REC</translation>
    </message>
    <message>
        <source>PLAY</source>
        <translation>PLAY</translation>
    </message>
    <message>
        <source>STOP</source>
        <translation>STOP</translation>
    </message>
    <message>
        <source>LOOP</source>
        <translation>LOOP</translation>
    </message>
    <message>
        <source>TUNE</source>
        <translation>TUNE</translation>
    </message>
    <message>
        <source>Set Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Tx Enable</source>
        <translation>TX frei</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>Tx Mic.</source>
        <translation>TX Mikro</translation>
    </message>
    <message>
        <source>Rx/Tx </source>
        <translation>RX/TX </translation>
    </message>
    <message>
        <source>Receive</source>
        <translation>Empfang</translation>
    </message>
    <message>
        <source>Playback/Record Memories</source>
        <translation>Sprachspeicher</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Save Wave</source>
        <translation>Wave speichern</translation>
    </message>
    <message>
        <source>Open Wave</source>
        <translation>Wave öffnen</translation>
    </message>
    <message>
        <source>Import Message…</source>
        <translation>Nachricht importieren…</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>SoundCard</source>
        <translation>Soundkarte</translation>
    </message>
    <message>
        <source>Select Input Sound Card</source>
        <translation>Soundkarte für Eingang wählen</translation>
    </message>
    <message>
        <source>Select Output Sound Card</source>
        <translation>Soundkarte für Ausgang wählen</translation>
    </message>
    <message>
        <source>Select Monitor Sound Card</source>
        <translation>Soundkarte zum Mithören wählen</translation>
    </message>
    <message>
        <source>Monitor</source>
        <translation>Mithören</translation>
    </message>
    <message>
        <source>The operator&apos;s headphones on a sound card of their own: they hear what goes to the transmitter, and a memory previewed without keying</source>
        <translation>Der Kopfhörer des Operators an einer eigenen Soundkarte: er hört, was zum Sender geht, und einen ohne Tasten vorgehörten Speicher</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Volume as Transmitted</source>
        <translation>Lautstärke wie gesendet</translation>
    </message>
    <message>
        <source>Volume %1 dB</source>
        <translation>Lautstärke %1 dB</translation>
    </message>
    <message>
        <source>Preview This Memory</source>
        <translation>Diesen Speicher vorhören</translation>
    </message>
    <message>
        <source>Stay On Top</source>
        <translation>Immer im Vordergrund</translation>
    </message>
    <message>
        <source>Speak Transmit State Aloud</source>
        <translation>Sendezustand ansagen</translation>
    </message>
    <message>
        <source>Keying and the start and end of each message said through speech-dispatcher; quiet while a screen reader runs, which says them itself</source>
        <translation>Tasten sowie Beginn und Ende jeder Nachricht werden über speech-dispatcher angesagt; still, solange ein Bildschirmleser läuft, der sie selbst ansagt</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Loop Delay</source>
        <translation>Schleifenpause</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikro</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Verstärkung</translation>
    </message>
    <message>
        <source>Samples ×%1: +%2 dB</source>
        <translation>Abtastwerte ×%1: +%2 dB</translation>
    </message>
    <message>
        <source>Trim Silence</source>
        <translation>Stille kürzen</translation>
    </message>
    <message>
        <source>Keep %1 ms</source>
        <translation>%1 ms behalten</translation>
    </message>
    <message>
        <source>Silence kept before the first sound and after the last when a recording or an import is stored</source>
        <translation>Stille, die vor dem ersten und nach dem letzten Ton bleibt, wenn eine Aufnahme oder ein Import gespeichert wird</translation>
    </message>
    <message>
        <source>Level</source>
        <translation>Pegel</translation>
    </message>
    <message>
        <source>Level This Memory Now</source>
        <translation>Diesen Speicher jetzt angleichen</translation>
    </message>
    <message>
        <source>What a recording or an import is scaled to once trimmed, so that every memory drives the transmitter alike</source>
        <translation>Worauf eine Aufnahme oder ein Import nach dem Kürzen angeglichen wird, damit jeder Speicher den Sender gleich aussteuert</translation>
    </message>
    <message>
        <source>Undo Trim and Level</source>
        <translation>Kürzen und Angleichen rückgängig</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgang</translation>
    </message>
    <message>
        <source>Pri Printer</source>
        <translation>Erster Drucker</translation>
    </message>
    <message>
        <source>Sec Printer</source>
        <translation>Zweiter Drucker</translation>
    </message>
    <message>
        <source>Serial</source>
        <translation>Seriell</translation>
    </message>
    <message>
        <source>Radio (CAT)…</source>
        <translation>Funkgerät (CAT)…</translation>
    </message>
    <message>
        <source>CM108 GPIO…</source>
        <translation>CM108 GPIO…</translation>
    </message>
    <message>
        <source>Invert Xmit</source>
        <translation>Tastung invertieren</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Invert</source>
        <translation>Invertiert</translation>
    </message>
    <message>
        <source>PTT Lead...</source>
        <translation>PTT-Vorlauf...</translation>
    </message>
    <message>
        <source>PTT Tail...</source>
        <translation>PTT-Nachlauf...</translation>
    </message>
    <message>
        <source>Operator&apos;s PTT</source>
        <translation>PTT des Operators</translation>
    </message>
    <message>
        <source>A foot switch or hand PTT on the serial keying port&apos;s CTS or DSR, or the radio keyed in a loop&apos;s pause, stops a message, the loop and TUNE</source>
        <translation>Ein Fußschalter oder die Hand-PTT an CTS oder DSR der seriellen Tastschnittstelle, oder das in der Schleifenpause getastete Funkgerät, stoppt eine Nachricht, die Schleife und TUNE</translation>
    </message>
    <message>
        <source>Rig (CAT)</source>
        <translation>Funkgerät (CAT)</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>EIN</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Einstellen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Help Menu</source>
        <translation>Hilfe anzeigen</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>Tastatur</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source> sec</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Unity</source>
        <translation>1:1</translation>
    </message>
    <message>
        <source>Bank</source>
        <translation>Bank</translation>
    </message>
    <message>
        <source>New Bank…</source>
        <translation>Neue Bank…</translation>
    </message>
    <message>
        <source>Template…</source>
        <translation>Vorlage…</translation>
    </message>
    <message>
        <source>Phrases…</source>
        <translation>Phrasen…</translation>
    </message>
</context>
<context>
    <name>MessageFile</name>
    <message>
        <source>File Error Message</source>
        <translation>Dateifehler</translation>
    </message>
    <message>
        <source>Could not open the wave file</source>
        <translation>Die Wave-Datei konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>File Open Error Message</source>
        <translation>Fehler beim Öffnen der Datei</translation>
    </message>
    <message>
        <source>Could not write the Wave file</source>
        <translation>Die Wave-Datei konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Could not open the file</source>
        <translation>Die Datei konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Not a RIFF file</source>
        <translation>Keine RIFF-Datei</translation>
    </message>
    <message>
        <source>Not a WAVE file</source>
        <translation>Keine WAVE-Datei</translation>
    </message>
    <message>
        <source>fmt incorrect</source>
        <translation>fmt fehlerhaft</translation>
    </message>
    <message>
        <source>Cannot play a wave file in this format</source>
        <translation>Eine Wave-Datei in diesem Format kann nicht abgespielt werden</translation>
    </message>
</context>
<context>
    <name>MessageImport</name>
    <message>
        <source>Import Message</source>
        <translation>Nachricht importieren</translation>
    </message>
    <message>
        <source>Could not import the file: </source>
        <translation>Die Datei konnte nicht importiert werden: </translation>
    </message>
    <message>
        <source>it is longer than the longest message a memory keeps (%1 h)</source>
        <translation>sie ist länger als die längste Nachricht, die ein Speicher fasst (%1 h)</translation>
    </message>
    <message>
        <source>the file cannot be opened: %1</source>
        <translation>die Datei lässt sich nicht öffnen: %1</translation>
    </message>
    <message>
        <source>it holds no sound</source>
        <translation>sie enthält keinen Ton</translation>
    </message>
    <message>
        <source>Memory %1 holds a message. Replace it with this one of %2?</source>
        <translation>Speicher %1 enthält eine Nachricht. Durch diese mit %2 ersetzen?</translation>
    </message>
    <message>
        <source>Memory %1 now holds a message of %2.</source>
        <translation>Speicher %1 enthält jetzt eine Nachricht mit %2.</translation>
    </message>
    <message>
        <source> Silence at its ends was trimmed.</source>
        <translation> Die Stille an ihren Enden wurde gekürzt.</translation>
    </message>
    <message>
        <source> It holds only silence and was kept as it is.</source>
        <translation> Sie enthält nur Stille und wurde belassen, wie sie ist.</translation>
    </message>
    <message>
        <source> Samples over full scale were clipped.</source>
        <translation> Werte über Vollaussteuerung wurden begrenzt.</translation>
    </message>
</context>
<context>
    <name>MicrophoneMenu</name>
    <message>
        <source>Could not undo the trim and level: %1</source>
        <translation>Kürzen und Angleichen konnten nicht rückgängig gemacht werden: %1</translation>
    </message>
    <message>
        <source>Memory %1 is back as recorded: %2 seconds</source>
        <translation>Speicher %1 ist wieder wie aufgenommen: %2 Sekunden</translation>
    </message>
</context>
<context>
    <name>Monitor</name>
    <message>
        <source>The monitor is off</source>
        <translation>Das Mithören ist aus</translation>
    </message>
    <message>
        <source>%1: %2 is the transmitter&apos;s sound card; choose another for the monitor in Options &gt; SoundCard</source>
        <translation>%1: %2 ist die Soundkarte des Senders; wählen Sie unter Optionen &gt; Soundkarte eine andere zum Mithören</translation>
    </message>
    <message>
        <source>it fell behind the transmitter</source>
        <translation>es blieb hinter dem Sender zurück</translation>
    </message>
    <message>
        <source>The monitor is off: %1</source>
        <translation>Das Mithören ist aus: %1</translation>
    </message>
    <message>
        <source>The monitor is off: sound stopped on %1: %2</source>
        <translation>Das Mithören ist aus: der Ton auf %1 ist ausgefallen: %2</translation>
    </message>
    <message>
        <source>Nothing to preview: the memory is empty</source>
        <translation>Nichts vorzuhören: der Speicher ist leer</translation>
    </message>
    <message>
        <source>Not previewed: %1</source>
        <translation>Nicht vorgehört: %1</translation>
    </message>
    <message>
        <source>Not previewed</source>
        <translation>Nicht vorgehört</translation>
    </message>
</context>
<context>
    <name>MonitorMenu</name>
    <message>
        <source>Preview ended</source>
        <translation>Vorhören beendet</translation>
    </message>
    <message>
        <source>Previewing memory %1 on %2</source>
        <translation>Vorhören von Speicher %1 auf %2</translation>
    </message>
</context>
<context>
    <name>OutputMenu</name>
    <message>
        <source>PTT Lead</source>
        <translation>PTT-Vorlauf</translation>
    </message>
    <message>
        <source>PTT Tail</source>
        <translation>PTT-Nachlauf</translation>
    </message>
</context>
<context>
    <name>PhrasesDialog</name>
    <message>
        <source>&amp;Record</source>
        <translation>&amp;Aufnehmen</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>Ab&amp;spielen</translation>
    </message>
    <message>
        <source>&amp;Import…</source>
        <translation>&amp;Importieren…</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Add &amp;Word…</source>
        <translation>&amp;Wort hinzufügen…</translation>
    </message>
    <message>
        <source>Import &amp;Folder…</source>
        <translation>&amp;Ordner importieren…</translation>
    </message>
    <message>
        <source>Phrases</source>
        <translation>Phrasen</translation>
    </message>
    <message>
        <source>Phrase&amp;s:</source>
        <translation>&amp;Phrasen:</translation>
    </message>
    <message>
        <source>Recorded %1</source>
        <translation>%1 aufgenommen</translation>
    </message>
    <message>
        <source>%1: recorded, %2 s</source>
        <translation>%1: aufgenommen, %2 s</translation>
    </message>
    <message>
        <source>%1: not recorded</source>
        <translation>%1: nicht aufgenommen</translation>
    </message>
    <message>
        <source>Not while a message plays or records</source>
        <translation>Nicht, solange eine Nachricht spielt oder aufnimmt</translation>
    </message>
    <message>
        <source>Stop &amp;Recording</source>
        <translation>Aufnahme &amp;beenden</translation>
    </message>
    <message>
        <source>Recording %1: Record again or STOP ends it</source>
        <translation>Aufnahme %1: erneut Aufnehmen oder STOP beendet sie</translation>
    </message>
    <message>
        <source>%1 is not recorded</source>
        <translation>%1 ist nicht aufgenommen</translation>
    </message>
    <message>
        <source>Playing %1 on the monitor&apos;s sound card</source>
        <translation>%1 spielt auf der Soundkarte zum Mithören</translation>
    </message>
    <message>
        <source>Delete the recording of %1?</source>
        <translation>Die Aufnahme von %1 löschen?</translation>
    </message>
    <message>
        <source>Deleted %1</source>
        <translation>%1 gelöscht</translation>
    </message>
    <message>
        <source>Could not delete %1</source>
        <translation>%1 konnte nicht gelöscht werden</translation>
    </message>
    <message>
        <source>Add Word</source>
        <translation>Wort hinzufügen</translation>
    </message>
    <message>
        <source>A word to record, as exchanges name it:</source>
        <translation>Ein aufzunehmendes Wort, wie der Austausch es nennt:</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a word: use letters, digits, - _ or +, at most %2</source>
        <translation>&quot;%1&quot; kann kein Wort sein: Buchstaben, Ziffern, - _ oder +, höchstens %2</translation>
    </message>
    <message>
        <source>Added %1</source>
        <translation>%1 hinzugefügt</translation>
    </message>
    <message>
        <source>%1 (not a word)</source>
        <translation>%1 (kein Wort)</translation>
    </message>
    <message>
        <source>Imported 1 phrase</source>
        <translation>1 Phrase importiert</translation>
    </message>
    <message>
        <source>Imported %1 phrases</source>
        <translation>%1 Phrasen importiert</translation>
    </message>
    <message>
        <source>; refused: %1</source>
        <translation>; abgelehnt: %1</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>PttTiming</name>
    <message>
        <source>Milliseconds (0 to %1, in steps of %2):</source>
        <translation>Millisekunden (0 bis %1, in Schritten von %2):</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a delay of 0 to %2 ms</source>
        <translation>„%1“ ist keine Verzögerung von 0 bis %2 ms</translation>
    </message>
</context>
<context>
    <name>RigDialog</name>
    <message>
        <source>Test</source>
        <translation>Testen</translation>
    </message>
    <message>
        <source>Testing…</source>
        <translation>Teste…</translation>
    </message>
    <message>
        <source>Test failed: </source>
        <translation>Test fehlgeschlagen: </translation>
    </message>
    <message>
        <source>Test passed: %1 keyed for half a second</source>
        <translation>Test bestanden: %1 eine halbe Sekunde getastet</translation>
    </message>
</context>
<context>
    <name>RigWorker</name>
    <message>
        <source>could not key the transmitter</source>
        <translation>der Sender ließ sich nicht tasten</translation>
    </message>
    <message>
        <source>could not unkey the transmitter</source>
        <translation>der Sender ließ sich nicht auf Empfang schalten</translation>
    </message>
    <message>
        <source>Could not open %1: Hamlib has no such rig model.</source>
        <translation>%1 konnte nicht geöffnet werden: Hamlib kennt dieses Gerätemodell nicht.</translation>
    </message>
    <message>
        <source>Could not connect to %1: %2.</source>
        <translation>Keine Verbindung zu %1: %2.</translation>
    </message>
    <message>
        <source>Could not open %1: %2.</source>
        <translation>%1 konnte nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>stopped answering while transmitting</source>
        <translation>antwortet beim Senden nicht mehr</translation>
    </message>
</context>
<context>
    <name>SaveWave</name>
    <message>
        <source>Save Wave</source>
        <translation>Wave speichern</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 ist bereits vorhanden.
Möchten Sie sie ersetzen?</translation>
    </message>
</context>
<context>
    <name>SoundCardDialog</name>
    <message>
        <source>Sound card number</source>
        <translation>Nummer der Soundkarte</translation>
    </message>
    <message>
        <source>Sound card name</source>
        <translation>Name der Soundkarte</translation>
    </message>
    <message>
        <source>Sound card message</source>
        <translation>Meldung zur Soundkarte</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Sound input device busy: %1</source>
        <translation>Audioeingang belegt: %1</translation>
    </message>
    <message>
        <source>Sound output device busy: %1</source>
        <translation>Audioausgang belegt: %1</translation>
    </message>
    <message>
        <source>Sound input device not compatible</source>
        <translation>Audioeingang nicht geeignet</translation>
    </message>
    <message>
        <source>Sound output device not compatible</source>
        <translation>Audioausgang nicht geeignet</translation>
    </message>
</context>
<context>
    <name>SoundFile</name>
    <message>
        <source>the file cannot be read</source>
        <translation>die Datei lässt sich nicht lesen</translation>
    </message>
    <message>
        <source>it declares no sound that can be read.</source>
        <translation>sie gibt keinen lesbaren Ton an.</translation>
    </message>
    <message>
        <source>its sound is %1 Hz, outside the rates Tavrin converts (%2 to %3 Hz).</source>
        <translation>ihr Ton hat %1 Hz, außerhalb der Raten, die Tavrin umwandelt (%2 bis %3 Hz).</translation>
    </message>
</context>
<context>
    <name>Station</name>
    <message>
        <source>Could not read the configuration file %1: %2</source>
        <translation>Die Konfigurationsdatei %1 konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>The configuration file %1 is read-only</source>
        <translation>Die Konfigurationsdatei %1 ist schreibgeschützt</translation>
    </message>
    <message>
        <source>Could not write the configuration file %1: %2</source>
        <translation>Die Konfigurationsdatei %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>
The settings will not be saved</source>
        <translation>
Die Einstellungen werden nicht gespeichert</translation>
    </message>
    <message>
        <source>Configuration File Error Message</source>
        <translation>Fehler in der Konfigurationsdatei</translation>
    </message>
    <message>
        <source>The bank stays %1 while a message plays, is paused, records or is imported</source>
        <translation>Die Bank bleibt %1, solange eine Nachricht spielt, pausiert, aufnimmt oder importiert wird</translation>
    </message>
    <message>
        <source>A bank needs a name</source>
        <translation>Eine Bank braucht einen Namen</translation>
    </message>
    <message>
        <source>There is a bank named %1 already</source>
        <translation>Eine Bank namens %1 gibt es schon</translation>
    </message>
</context>
<context>
    <name>Templates</name>
    <message>
        <source>nothing to say</source>
        <translation>nichts zu sagen</translation>
    </message>
    <message>
        <source>memory %1 has no template</source>
        <translation>Speicher %1 hat keine Vorlage</translation>
    </message>
</context>
<context>
    <name>TransmitPanel</name>
    <message>
        <source>ON</source>
        <translation>EIN</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>Receive</source>
        <translation>Empfang</translation>
    </message>
    <message>
        <source>Transmit — unkey not confirmed</source>
        <translation>Senden — Abfall nicht bestätigt</translation>
    </message>
    <message>
        <source>Transmit</source>
        <translation>Senden</translation>
    </message>
</context>
<context>
    <name>WaveEngine</name>
    <message>
        <source>Error writing to the output device </source>
        <translation>Fehler beim Schreiben auf das Ausgabegerät </translation>
    </message>
    <message>
        <source>Error in sending a buffer_</source>
        <translation>Fehler beim Senden eines Puffers </translation>
    </message>
    <message>
        <source>Could not open the input wave device</source>
        <translation>Das Audio-Eingabegerät konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Error Opening Input wave device</source>
        <translation>Fehler beim Öffnen des Audio-Eingabegeräts</translation>
    </message>
    <message>
        <source>Error starting the input wave device</source>
        <translation>Fehler beim Starten des Audio-Eingabegeräts</translation>
    </message>
    <message>
        <source>Error Resetting the input wave device</source>
        <translation>Fehler beim Zurücksetzen des Audio-Eingabegeräts</translation>
    </message>
    <message>
        <source>Error closing the input wave device</source>
        <translation>Fehler beim Schließen des Audio-Eingabegeräts</translation>
    </message>
    <message>
        <source>Could not handle the output WAVE format</source>
        <translation>Das Audio-Ausgabegerät kann das WAVE-Format nicht verarbeiten</translation>
    </message>
    <message>
        <source>Error Opening Output wave device</source>
        <translation>Fehler beim Öffnen des Audio-Ausgabegeräts</translation>
    </message>
    <message>
        <source>Error Resetting the output wave device</source>
        <translation>Fehler beim Zurücksetzen des Audio-Ausgabegeräts</translation>
    </message>
    <message>
        <source>Error closing the output wave device</source>
        <translation>Fehler beim Schließen des Audio-Ausgabegeräts</translation>
    </message>
</context>
</TS>
