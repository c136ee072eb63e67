#!/usr/bin/python3
"""Reads an .xls workbook with xlrd (an independent reader) and prints what the tests
check as JSON: sheet names, every cell's type, value and number format, the column
widths and column formats, and any warning xlrd gives about the file's structure. The compound file is also
checked by olefile at its strictest level when python3-olefile is installed."""
import io
import json
import sys

import xlrd


def check_container(path):
    """The compound file itself, at olefile's strictest level, when olefile is installed."""
    try:
        import olefile
    except ImportError:
        return
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_UNSURE)
    if ole.listdir() != [["Workbook"]]:
        raise SystemExit("unexpected streams: %r" % ole.listdir())
    ole.close()


def main(path):
    check_container(path)
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log)
    sheet = book.sheet_by_index(0)

    def format_of(xf_index):
        return book.format_map[book.xf_list[xf_index].format_key].format_str

    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
                    xlrd.XL_CELL_DATE: "date",
                    xlrd.XL_CELL_BOOLEAN: "boolean"}.get(cell.ctype, str(cell.ctype))
            cells.append({"row": r, "col": c, "type": kind, "value": cell.value,
                          "format": format_of(cell.xf_index)})
    columns = {str(c): {"width": info.width, "format": format_of(info.xf_index)}
               for c, info in sorted(sheet.colinfo_map.items())}
    print(json.dumps({"sheets": book.sheet_names(), "nrows": sheet.nrows, "ncols": sheet.ncols,
                      "cells": cells, "columns": columns, "log": log.getvalue()},
                     ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
