#!/usr/bin/env python3
"""Installs the build into a scratch folder (DESTDIR, prefix /usr) and checks the kit's desktop
integration there: the validators' verdicts on the desktop entry and the AppStream metadata, the
icon at every hicolor size, how the files name each other, and that the entry's Exec line brings
up the main menu under the window class the entry gives as StartupWMClass. The entry names the
media types the kit opens, update-desktop-database lists it for each, and its Exec line given a
WAV file brings up the WAV player.

Every finding is printed; the exit status is 1 if any check failed.
"""

import argparse
import configparser
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import wave
import xml.etree.ElementTree as ElementTree

APP_ID = "org.zyr.MultimediaKit"
# What the desktop offers the kit for: WAV, MIDI, AVI, cue sheets and audio CDs.
MEDIA_TYPES = ("audio/x-wav", "audio/wav", "audio/vnd.wave", "audio/midi", "audio/x-midi",
               "video/x-msvideo", "video/avi", "video/msvideo", "application/x-cue",
               "x-content/audio-cdda")
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
PREFIX = "usr"


class Checks:
    def __init__(self):
        self.failures = 0

    def expect(self, ok, what):
        print(("ok      " if ok else "FAILED  ") + what)
        if not ok:
            self.failures += 1
        return ok


def png_size(path):
    """(width, height) from a PNG's IHDR chunk, or None if the file is not a PNG."""
    data = path.read_bytes()[:24]
    if len(data) < 24 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", data[16:24])


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    output = (result.stdout + result.stderr).strip()
    print(f"$ {' '.join(map(str, command))}  (exit {result.returncode})")
    if output:
        print("  " + output.replace("\n", "\n  "))
    return result.returncode, output


def read_desktop_entry(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys are case-sensitive
    parser.read(path, encoding="utf-8")
    return parser["Desktop Entry"]


def check_entry(checks, root, entry_path):
    checks.expect(entry_path.is_file(), f"desktop entry installed: {entry_path.relative_to(root)}")
    if not entry_path.is_file():
        return None
    status, _ = run(["desktop-file-validate", entry_path])
    checks.expect(status == 0, "desktop-file-validate accepts the entry")
    entry = read_desktop_entry(entry_path)
    checks.expect(entry.get("Name") == "ZYR Multimedia Kit", "Name is ZYR Multimedia Kit")
    checks.expect(entry.get("Categories") == "AudioVideo;Audio;Video;Player;",
                  "Categories are AudioVideo;Audio;Video;Player;")
    exec_line = entry.get("Exec", "")
    checks.expect(exec_line.split()[1:] == ["%u"],
                  f"Exec passes one file or URL and nothing else: {exec_line!r}")
    name = exec_line.split()[0] if exec_line else ""
    program = root / PREFIX / "bin" / name
    checks.expect(name != "" and program.is_file() and os.access(program, os.X_OK),
                  f"Exec names the installed program bin/{name}")
    checks.expect(entry.get("Icon") == APP_ID, f"Icon is {APP_ID}")
    checks.expect(bool(entry.get("StartupWMClass")), "StartupWMClass is given")
    named = entry.get("MimeType", "").rstrip(";").split(";")
    checks.expect(sorted(named) == sorted(MEDIA_TYPES), f"MimeType names the media types: {named}")
    return entry


def check_mime_cache(checks, root):
    """update-desktop-database, as a package's trigger runs it, lists the entry for each type."""
    applications = root / PREFIX / "share/applications"
    status, _ = run(["update-desktop-database", applications])
    checks.expect(status == 0, "update-desktop-database on the scratch install")
    cache = applications / "mimeinfo.cache"
    offered = {}
    if cache.is_file():
        for line in cache.read_text(encoding="utf-8").splitlines():
            media_type, _, entries = line.partition("=")
            offered[media_type] = entries.rstrip(";").split(";")
    for media_type in MEDIA_TYPES:
        checks.expect(f"{APP_ID}.desktop" in offered.get(media_type, []),
                      f"mimeinfo.cache offers the kit for {media_type}")


def check_icons(checks, root):
    for n in ICON_SIZES:
        path = root / PREFIX / "share/icons/hicolor" / f"{n}x{n}" / "apps" / f"{APP_ID}.png"
        size = png_size(path) if path.is_file() else None
        checks.expect(size == (n, n), f"icon {n}x{n} installed as a {n} x {n} PNG (found {size})")


def check_metainfo(checks, root, source_dir, version):
    path = root / PREFIX / "share/metainfo" / f"{APP_ID}.metainfo.xml"
    checks.expect(path.is_file(), f"AppStream metadata installed: {path.relative_to(root)}")
    if not path.is_file():
        return
    status, _ = run(["appstreamcli", "validate", "--no-net", path])
    checks.expect(status == 0, "appstreamcli validate --no-net accepts the metadata")
    component = ElementTree.parse(path).getroot()
    checks.expect(component.findtext("id") == APP_ID, f"component id is {APP_ID}")
    provided = sorted(t.text for t in component.iter("mediatype"))
    checks.expect(provided == sorted(MEDIA_TYPES), f"provides the media types: {provided}")
    launchable = component.find("launchable[@type='desktop-id']")
    checks.expect(launchable is not None and launchable.text == f"{APP_ID}.desktop",
                  "launchable names the installed desktop entry")
    releases = [r.get("version") for r in component.iter("release")]
    checks.expect(version in releases,
                  f"a release for the project's version {version} (found {releases})")
    checks.expect(component.find("content_rating[@type='oars-1.1']") is not None,
                  "OARS 1.1 content rating")
    # The screenshot's URL points into the repository; the file must be there and be as large
    # as the metadata says.
    images = list(component.iter("image"))
    checks.expect(len(images) >= 1, "at least one screenshot")
    for image in images:
        match = re.search(r"/raw/branch/[^/]+/(.+)$", image.text or "")
        local = source_dir / match.group(1) if match else None
        size = png_size(local) if local is not None and local.is_file() else None
        stated = (int(image.get("width", 0)), int(image.get("height", 0)))
        checks.expect(size is not None and size == stated,
                      f"screenshot {image.text} is in the repository at the stated size "
                      f"{stated} (found {size})")


def check_start(checks, root, source_dir, entry_path, entry):
    """Starts the kit from the entry's Exec line with the installed bin/ first on PATH."""
    env = dict(os.environ)
    env["PATH"] = f"{root / PREFIX / 'bin'}{os.pathsep}{env.get('PATH', '')}"
    # On X11, libxkbcommon-x11 strndup()s key names out of a reply buffer that is not
    # NUL-terminated, reading no further than the length it passes: valid C, but ASan's
    # strict_string_checks reports it as an overflow before the kit's code has run. The
    # other checks stay on for a sanitized build.
    if "ASAN_OPTIONS" in env:
        env["ASAN_OPTIONS"] = ":".join(o for o in env["ASAN_OPTIONS"].split(":")
                                       if not o.startswith("strict_string_checks"))
    script = source_dir / "scripts" / "start-from-desktop-entry"
    status, output = run([script, entry_path, "--open-wav-player"], env=env, timeout=120)
    checks.expect("main menu: window" in output, "the entry's Exec line brings up the main menu")
    checks.expect(status == 0 and "WAV player: window" in output,
                  "the main menu opens the WAV player from the installed player module")
    match = re.search(r'WM_CLASS\(STRING\) = "([^"]*)", "([^"]*)"', output)
    wm_class = match.group(2) if match else None
    checks.expect(wm_class == entry.get("StartupWMClass"),
                  f"the main menu's window class {wm_class!r} is the entry's StartupWMClass "
                  f"{entry.get('StartupWMClass')!r}")

    # A file manager opening a WAV file with the entry: the kit starts with it in the WAV player.
    wav = root / "tone.wav"
    with wave.open(str(wav), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 8000 * 5)
    status, output = run([script, entry_path, "--open-wav", wav], env=env, timeout=120)
    checks.expect(status == 0 and "WAV player: window" in output and "main menu: hidden" in output,
                  "the entry's Exec line given a WAV file shows the WAV player, main menu hidden")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--build-dir", type=pathlib.Path, required=True)
    parser.add_argument("--source-dir", type=pathlib.Path, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--module-dir", required=True,
                        help="the player module's folder under the prefix")
    args = parser.parse_args()

    checks = Checks()
    with tempfile.TemporaryDirectory(prefix="zyr-install-") as scratch:
        root = pathlib.Path(scratch)
        env = dict(os.environ, DESTDIR=str(root))
        status, _ = run([args.cmake, "--install", args.build_dir, "--prefix", f"/{PREFIX}"],
                        env=env)
        if not checks.expect(status == 0, "cmake --install into a scratch DESTDIR"):
            return 1
        installed = sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file())
        print("installed:\n  " + "\n  ".join(installed))
        checks.expect(not any(p.endswith((".h", ".a")) or "/tst_" in p for p in installed),
                      "no headers, static libraries or tests installed")
        checks.expect(f"{PREFIX}/{args.module_dir}/libzyr-kit-players.so" in installed,
                      "the player module installed where the program looks for it")
        entry_path = root / PREFIX / "share/applications" / f"{APP_ID}.desktop"
        entry = check_entry(checks, root, entry_path)
        check_mime_cache(checks, root)
        check_icons(checks, root)
        check_metainfo(checks, root, args.source_dir, args.version)
        if entry is not None:
            missing = [t for t in ("xvfb-run", "xdotool", "xprop", "xwininfo")
                       if shutil.which(t) is None]
            if checks.expect(not missing, f"X tools to start the kit with (missing: {missing})"):
                check_start(checks, root, args.source_dir, entry_path, entry)
    print(f"{checks.failures} check(s) failed" if checks.failures else "all checks passed")
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
