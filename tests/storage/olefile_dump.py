"""Lists a compound file with olefile and writes each stream's bytes to a folder.

usage: olefile_dump.py FILE FOLDER
Prints one line per stream: its path (parts joined by '/') and its size.
"""
import os
import sys

import olefile

source, folder = sys.argv[1], sys.argv[2]
with olefile.OleFileIO(source) as ole:
    for parts in sorted(ole.listdir(streams=True, storages=False)):
        path = "/".join(parts)
        data = ole.openstream(parts).read()
        print(f"{path} {len(data)}")
        with open(os.path.join(folder, path.replace("/", "__")), "wb") as out:
            out.write(data)
