#!/usr/bin/env python3
"""Packs files into a zip whose bytes depend only on their names and contents.

    make-zip.py OUT.zip EPOCH_FILE FOLDER NAME...

The entries come in the order given, all dated by the build's timestamp in EPOCH_FILE (seconds since 1970, taken
as UTC; zip dates begin in 1980), with the plain "archive" attribute of a Windows file and no owner, permissions or
extra fields: the user, the umask, the time zone and the files' own dates play no part.
"""

import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC
FILE_ATTRIBUTE_ARCHIVE = 0x20


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    out, epoch_file, folder, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    with open(epoch_file, encoding="ascii") as f:
        epoch = max(int(f.read().strip()), ZIP_EPOCH)
    date_time = time.gmtime(epoch)[:6]
    partial = out + ".tmp"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time)
            entry.create_system = 0  # MS-DOS attributes
            entry.external_attr = FILE_ATTRIBUTE_ARCHIVE
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
