#!/usr/bin/env python3
"""Writes the Group Policy templates: Vellumix.admx and en-US/Vellumix.adml.
One policy per item of the catalogue (the ids below, kept in step with
src/catalogue: a test checks that every item has its policy), the locked
selection and the schedule, all below Software\\Policies\\Vellumix, as
src/settings/Policy.h reads them. Run it after changing the list and commit
what it writes."""

import os
from xml.sax.saxutils import escape

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = "Software\\Policies\\Vellumix"

FIRST = [
    ("Internet", "ie.cache", "Internet cache"),
    ("Internet", "ie.history", "Internet history"),
    ("Internet", "ie.cookies", "Cookies"),
    ("Internet", "ie.typed_urls", "Location Bar"),
    ("Internet", "toolbar.search_history", "Google Search History"),
    ("Documents", "shell.recent_docs", "Recent Documents"),
    ("Documents", "wmp.recent", "Windows Media Player Clips"),
    ("Documents", "realplayer.recent", "RealPlayer Clips"),
    ("Documents", "delphi.recent", "Delphi Projects"),
    ("Documents", "vb.recent", "VB Projects"),
    ("Documents", "vc.recent", "VC Projects"),
    ("Documents", "system.recycle_bin", "Recycle Bin"),
    ("Documents", "system.temp", "Temporary Files"),
]
BROWSERS = [("chrome", "Google Chrome"), ("edge", "Microsoft Edge"), ("firefox", "Mozilla Firefox"),
            ("brave", "Brave"), ("vivaldi", "Vivaldi"), ("opera", "Opera"), ("opera_gx", "Opera GX"),
            ("chromium", "Chromium")]
BROWSER_ITEMS = [("cache", "cache"), ("cookies", "cookies"), ("history", "history"),
                 ("forms", "form history"), ("addresses", "saved addresses"), ("session", "session"),
                 ("crash_reports", "crash reports")]
CHROMIUM_ONLY = {"addresses"}  # Firefox keeps them with the cards
WINDOWS = [
    ("windows.run_history", "Run dialog history"),
    ("windows.typed_paths", "Paths typed in Explorer"),
    ("windows.search_history", "Explorer's search history"),
    ("windows.dialog_history", "Open and Save dialog history"),
    ("windows.recent_items", "Recent items"),
    ("windows.thumbnails", "Thumbnail cache"),
    ("windows.clipboard", "Clipboard"),
    ("windows.error_reports", "Error reports"),
    ("windows.crash_dumps", "Crash dumps"),
    ("windows.shader_cache", "Shader cache"),
    ("windows.recycle_bins", "Recycle bins of every drive"),
    ("windows.system_temp", "Windows temporary folder"),
    ("windows.prefetch", "Prefetch files"),
    ("windows.system_error_reports", "Error reports of all users"),
]

ITEMS = FIRST + [("Browsers", f"{b}.{k}", f"{name}: {what}")
                 for b, name in BROWSERS for k, what in BROWSER_ITEMS
                 if not (b == "firefox" and k in CHROMIUM_ONLY)] + \
    [("Windows", i, label) for i, label in WINDOWS]

GROUPS = [("Internet", "Internet"), ("Documents", "Documents"), ("Browsers", "Browsers"), ("Windows", "Windows")]


def name_of(item_id):
    return "Item_" + item_id.replace(".", "_")


def admx():
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<!-- Written by write.py: change that, not this. -->',
           '<policyDefinitions xmlns:xsd="http://www.w3.org/2001/XMLSchema"'
           ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" revision="1.0" schemaVersion="1.0"'
           ' xmlns="http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions">',
           '  <policyNamespaces>',
           '    <target prefix="vellumix" namespace="Vellumix.Policies.Vellumix" />',
           '  </policyNamespaces>',
           '  <resources minRequiredRevision="1.0" />',
           '  <supportedOn>',
           '    <definitions>',
           '      <definition name="SUPPORTED_Vellumix" displayName="$(string.SUPPORTED_Vellumix)" />',
           '    </definitions>',
           '  </supportedOn>',
           '  <categories>',
           '    <category name="Vellumix" displayName="$(string.Vellumix)" />',
           '    <category name="Items" displayName="$(string.Items)">',
           '      <parentCategory ref="Vellumix" />',
           '    </category>']
    for group, _ in GROUPS:
        out += [f'    <category name="Items_{group}" displayName="$(string.Items_{group})">',
                '      <parentCategory ref="Items" />',
                '    </category>']
    out += ['    <category name="Schedule" displayName="$(string.Schedule)">',
            '      <parentCategory ref="Vellumix" />',
            '    </category>',
            '  </categories>',
            '  <policies>']

    def switch(name, parent, key, value, explain=None):
        return [f'    <policy name="{name}" class="Both" displayName="$(string.{name})"'
                f' explainText="$(string.{explain or name}_Help)" key="{escape(key)}" valueName="{value}">',
                f'      <parentCategory ref="{parent}" />',
                '      <supportedOn ref="SUPPORTED_Vellumix" />',
                '      <enabledValue>',
                '        <decimal value="1" />',
                '      </enabledValue>',
                '      <disabledValue>',
                '        <decimal value="0" />',
                '      </disabledValue>',
                '    </policy>']

    out += switch("LockSelection", "Items", KEY, "LockSelection")
    for group, item_id, _ in ITEMS:
        out += switch(name_of(item_id), f"Items_{group}", KEY + "\\Items", item_id, "Item")
    out += switch("ScheduleEnabled", "Schedule", KEY, "ScheduleEnabled")
    out += [f'    <policy name="ScheduleKind" class="Both" displayName="$(string.ScheduleKind)"'
            f' explainText="$(string.ScheduleKind_Help)" presentation="$(presentation.ScheduleKind)"'
            f' key="{escape(KEY)}">',
            '      <parentCategory ref="Schedule" />',
            '      <supportedOn ref="SUPPORTED_Vellumix" />',
            '      <elements>',
            '        <enum id="ScheduleKind" valueName="ScheduleKind" required="true">']
    for n, kind in enumerate(["Minutely", "Hourly", "Daily"]):
        out += [f'          <item displayName="$(string.ScheduleKind_{kind})">',
                f'            <value>',
                f'              <decimal value="{n}" />',
                f'            </value>',
                f'          </item>']
    out += ['        </enum>',
            '      </elements>',
            '    </policy>',
            f'    <policy name="ScheduleTime" class="Both" displayName="$(string.ScheduleTime)"'
            f' explainText="$(string.ScheduleTime_Help)" presentation="$(presentation.ScheduleTime)"'
            f' key="{escape(KEY)}">',
            '      <parentCategory ref="Schedule" />',
            '      <supportedOn ref="SUPPORTED_Vellumix" />',
            '      <elements>',
            '        <text id="ScheduleTime" valueName="ScheduleTime" required="true" maxLength="5" />',
            '      </elements>',
            '    </policy>']
    out += switch("ScheduleAtStart", "Schedule", KEY, "ScheduleAtStart")
    out += switch("ScheduleAtShutdown", "Schedule", KEY, "ScheduleAtShutdown")
    out += ['  </policies>', '</policyDefinitions>', '']
    return "\n".join(out)


def adml():
    strings = [
        ("Vellumix", "Vellumix"),
        ("SUPPORTED_Vellumix", "Vellumix with administrator policies"),
        ("Items", "Items to clear"),
        ("Schedule", "Schedule"),
        ("LockSelection", "Lock the choice of items"),
        ("LockSelection_Help",
         "Enabled: users cannot change which items Vellumix clears; the options show every item's box "
         "disabled, as set by the administrator. Items not set by their own policy keep the user's "
         "last choice.\n\nDisabled or not configured: users choose the items, except those set by "
         "their own policy."),
        ("Item_Help",
         "Enabled: Vellumix always clears this item in a Shred run, whatever the user chose.\n\n"
         "Disabled: Vellumix never clears this item in a Shred run.\n\n"
         "Not configured: the user's choice holds. The user's own choice is kept while this policy "
         "applies and holds again once it no longer does."),
        ("ScheduleEnabled", "Run the timed schedule"),
        ("ScheduleEnabled_Help",
         "Enabled: Vellumix runs a Shred at the interval of the schedule (see \"Interval of the "
         "timed schedule\") while it runs.\n\nDisabled: no timed runs.\n\nNot configured: the "
         "user's choice holds."),
        ("ScheduleKind", "Interval of the timed schedule"),
        ("ScheduleKind_Help",
         "The interval of the timed schedule: every minute, every hour or daily at the time of "
         "\"Time of the daily run\" (or the user's time when that is not configured).\n\n"
         "Not configured: the user's choice holds."),
        ("ScheduleKind_Minutely", "Every minute"),
        ("ScheduleKind_Hourly", "Every hour"),
        ("ScheduleKind_Daily", "Daily"),
        ("ScheduleTime", "Time of the daily run"),
        ("ScheduleTime_Help",
         "The time of day of the daily run, as HH:MM in 24 hours (for example 18:30). "
         "Another text counts as not configured.\n\nNot configured: the user's time holds."),
        ("ScheduleAtStart", "Clear when Windows starts"),
        ("ScheduleAtStart_Help",
         "Enabled: Vellumix runs a Shred when it starts with Windows. (It starts with Windows only "
         "when the user lets it.)\n\nDisabled: no run at start.\n\nNot configured: the user's "
         "choice holds."),
        ("ScheduleAtShutdown", "Clear when Windows shuts down or the user logs off"),
        ("ScheduleAtShutdown_Help",
         "Enabled: a running Vellumix runs a Shred when the session ends.\n\nDisabled: no run "
         "then.\n\nNot configured: the user's choice holds."),
    ]
    strings += [(f"Items_{g}", label) for g, label in GROUPS]
    strings += [(name_of(i), f"Clear {label} ({i})") for _, i, label in ITEMS]
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<!-- Written by write.py: change that, not this. -->',
           '<policyDefinitionResources xmlns:xsd="http://www.w3.org/2001/XMLSchema"'
           ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" revision="1.0" schemaVersion="1.0"'
           ' xmlns="http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions">',
           '  <displayName>Vellumix</displayName>',
           '  <description>Policies of Vellumix, the cleaner of traces</description>',
           '  <resources>',
           '    <stringTable>']
    out += [f'      <string id="{i}">{escape(t)}</string>' for i, t in strings]
    out += ['    </stringTable>',
            '    <presentationTable>',
            '      <presentation id="ScheduleKind">',
            '        <dropdownList refId="ScheduleKind" noSort="true" defaultItem="2">Interval:</dropdownList>',
            '      </presentation>',
            '      <presentation id="ScheduleTime">',
            '        <textBox refId="ScheduleTime">',
            '          <label>Time (HH:MM):</label>',
            '          <defaultValue>09:00</defaultValue>',
            '        </textBox>',
            '      </presentation>',
            '    </presentationTable>',
            '  </resources>',
            '</policyDefinitionResources>', '']
    return "\n".join(out)


def write(path, text):
    with open(os.path.join(HERE, path), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(text)


write("Vellumix.admx", admx())
write(os.path.join("en-US", "Vellumix.adml"), adml())
