#!/usr/bin/python3
"""Writes the package's depiction page: what the tweak does, the simulator's screenshots, the
settings with their defaults (from the pane's specifier list), the systems it supports (from
the loader's filters and the control file) and the changelog.

    depiction.py OUT_DIR SNAPSHOT_DIR

OUT_DIR/index.html refers to the screenshots, which are copied to OUT_DIR/images/.
"""
import html
import os
import plistlib
import shutil
import sys

REPOSITORY = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPOSITORY, "device"))
import layout  # noqa: E402

CHANGELOG = os.path.join(REPOSITORY, "package", "depiction", "changelog.txt")
# (snapshot, caption), as the demo and chooser scenarios name their screens.
SCREENSHOTS = (
    ("camera-120fps", "Camera in slow motion at the rate chosen in Settings, 120 fps"),
    ("camera-refused-480", "A rate the camera cannot record is refused, with a notice"),
    ("chooser-alert", "Tap the indicator to type a new rate"),
    ("photos-saved", "Photos plays the clip in slow motion; \u201cSave Slo-mo\u201d saves it"),
)
STYLE = """body{font-family:-apple-system,Helvetica,sans-serif;margin:0 auto;max-width:40em;
padding:1em;color:#222}h2{font-size:1.1em;margin-top:1.5em}figure{display:inline-block;
margin:.5em;width:14em;vertical-align:top}figure img{width:100%;border:1px solid #ccc}
figcaption{font-size:.85em}table{border-collapse:collapse}td,th{border-bottom:1px solid #ddd;
padding:.3em .6em;text-align:left}"""


def settings_rows():
    with open(layout.SPECIFIERS, "rb") as source:
        items = plistlib.load(source)["items"]
    rows = []
    for item in items:
        if "key" not in item:
            continue
        default = item["default"]
        shown = ("on" if default else "off") if isinstance(default, bool) else str(default)
        rows.append(f"<tr><td>{html.escape(item['label'])}</td><td>{html.escape(shown)}</td></tr>")
    return "\n".join(rows)


def changelog():
    with open(CHANGELOG, encoding="utf-8") as source:
        version, *changes = [line.strip() for line in source if line.strip()]
    entries = "".join(f"<li>{html.escape(change)}</li>" for change in changes)
    return f"<h3>{html.escape(version)}</h3><ul>{entries}</ul>"


def figures(snapshots, images):
    os.makedirs(images, exist_ok=True)
    shown = []
    for name, caption in SCREENSHOTS:
        shutil.copyfile(os.path.join(snapshots, f"{name}.png"),
                        os.path.join(images, f"{name}.png"))
        shown.append(f'<figure><img src="images/{name}.png" alt="{html.escape(caption)}">'
                     f"<figcaption>{html.escape(caption)}</figcaption></figure>")
    return "\n".join(shown)


def page(snapshots, out):
    return f"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{layout.PANE_LABEL}</title><style>{STYLE}</style></head>
<body>
<h1>{layout.PANE_LABEL} {html.escape(layout.project_version())}</h1>
<p>Slow motion at the frame rate you choose, in the stock Camera and Photos apps. Set the
rate in Settings &rsaquo; {layout.PANE_LABEL}; Camera records slow motion at that rate, up to
the highest one your camera can record, and refuses a rate it cannot, with a notice. Tap the
slow-motion indicator to type a rate, or tap it twice for the highest one. Photos plays slow
motion at your own speed and volume, and &ldquo;Save Slo-mo&rdquo; saves a clip's slow motion
as a new video.</p>
<h2>Screenshots</h2>
{figures(snapshots, os.path.join(out, "images"))}
<h2>Settings and their defaults</h2>
<table><tr><th>Setting</th><th>Default</th></tr>
{settings_rows()}
</table>
<h2>Compatibility</h2>
<p>64-bit iPhones and iPads (iPhone 5s and later, iPad Air, iPad mini 2 and later) on iOS 7.0
to 9.2. iOS 9.3 and later, and 32-bit devices, are not supported: the package refuses to
install there. Needs Cydia Substrate and PreferenceLoader.</p>
<h2>Changelog</h2>
{changelog()}
</body></html>
"""


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: depiction.py OUT_DIR SNAPSHOT_DIR")
    try:
        os.makedirs(argv[1], exist_ok=True)
        text = page(argv[2], argv[1])
        with open(os.path.join(argv[1], "index.html"), "w", encoding="utf-8") as out:
            out.write(text)
    except (OSError, ValueError, KeyError) as error:
        sys.exit(f"depiction.py: {error}")


if __name__ == "__main__":
    main(sys.argv)
