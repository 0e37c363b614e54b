#!/usr/bin/env python3
"""Writes the saved reservation pages under data/ and, beside each NAME.htm, the exact
form body NAME.body the recorder must receive for it. Run it from anywhere; it rewrites
both kinds of file. The expected bodies are spelled out per case, field by field."""
import os

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


def sj(text):
    return text.encode("cp932")


def enc(text):
    """Free text as it goes into the body: percent-encoded Shift-JIS, "&" as %26."""
    out = ""
    for b in sj(text):
        if b >= 0x80 or chr(b) in " *#%+<>":
            out += "%%%02X" % b
        elif chr(b) == "&":
            out += "%26"
        else:
            out += chr(b)
    return out


TITLE = "予約表テスト 映画"
DETAIL = ["主演：山田太郎", "字幕放送あり"]

OPTIONS = {
    "genre": [("1", "ドラマ", False), ("3", "映画", True), ("5", "アニメ", False)],
    "channel": [("4", "4ch", False), ("8", "8ch", True)],
    "date": [("20261207", "12/07(月)", False), ("20261208", "12/08(火)", True),
             ("20261209", "12/09(水)", False)],
    "disc": [("0", "HDD", True), ("1", "DVD", False)],
    "vrate": [("4600", "XP", True), ("2200", "SP", False)],
    "amode": [("1", "ステレオ", True), ("2", "二か国語", False)],
    "dvdr": [("0", "しない", True), ("1", "する", False)],
    "aspect": [("0", "4:3", False), ("1", "16:9", True)],
    "bVPerform": [("0", "標準", True), ("1", "高画質", False)],
    "bAutoChapter": [("0", "しない", False), ("1", "する", True)],
}
TIMES = [("start_hour", "value =", "21", "時"), ("start_minute", "value =", "00", "分～"),
         ("end_hour", "value = ", "23", "時"), ("end_minute", "value = ", "15", "分")]

BASIC_BODY = ("bExec=ON&title_name=" + enc(TITLE) +
              "&genre=3&channel=8&date=20261208&start_hour=21&start_minute=00&end_hour=23"
              "&end_minute=15&disc=0&vrate=4600&amode=1&dvdr=0&aspect=1&bVPerform=0"
              "&bAutoChapter=1&detail=" + enc("\r\n".join(DETAIL)) + "&lVoice=1&end_form=0")


def select_lines(name, options=None, option_format='<OPTION value="{v}"{sel}>{label}'):
    lines = ['<SELECT name="%s">' % name]
    for value, label, selected in options or OPTIONS[name]:
        lines.append(option_format.format(v=value, sel=" selected" if selected else "",
                                          label=label))
    lines.append("</select>")
    return lines


def page(bexec='<INPUT TYPE="checkbox" name="bExec" checked>実行',
         title=TITLE, detail=DETAIL, detail_end="</textarea>",
         order=("genre", "channel", "date", "times", "disc", "vrate", "amode", "dvdr",
                "aspect", "bVPerform", "bAutoChapter"),
         times=TIMES, selects=None):
    selects = selects or {}
    lines = ["<HTML>", "<HEAD><TITLE>予約の確認・変更</TITLE></HEAD>",
             '<BODY BGCOLOR="#FFFFFF">', '<FORM ACTION="entry.htm" METHOD="POST">']
    if bexec is not None:
        lines.append(bexec)
    lines += ['<SCRIPT LANGUAGE="JavaScript">',
              'document.write("<INPUT TYPE=\\"text\\" NAME=\\"title_name\\" SIZE=\\"40\\" '
              'value=\\"' + title + '\\">");',
              "</SCRIPT><BR>"]
    for field in order:
        if field == "times":
            for name, marker, value, unit in times:
                lines.append('<INPUT TYPE="text" name="%s" SIZE="2" %s"%s">%s'
                             % (name, marker, value, unit))
        else:
            lines += selects.get(field) or select_lines(field)
    lines += ['<SCRIPT LANGUAGE="JavaScript">',
              'document.write("<TEXTAREA NAME=\\"detail\\" ROWS=\\"4\\" COLS=\\"40\\">");',
              "</SCRIPT>"]
    lines += detail[:-1] + [detail[-1] + detail_end] if detail else [detail_end]
    lines += ['<INPUT TYPE="submit" VALUE="登録">', "</FORM>", "</BODY>", "</HTML>"]
    return lines


def crlf(lines):
    return sj("\r\n".join(lines) + "\r\n")


def replace_field(body, name, value):
    """BASIC_BODY with one field's value replaced, or removed when value is None."""
    parts = body.split("&")
    out = []
    for part in parts:
        if part.startswith(name + "="):
            if value is not None:
                out.append(name + "=" + value)
        else:
            out.append(part)
    return "&".join(out)


CASES = {}

# The same page with each kind of line break gives the same body: the page is read as
# lines and joined with CR LF again, so the detail's break is always CR LF.
CASES["basic_crlf"] = (crlf(page()), BASIC_BODY)
CASES["bare_lf"] = (sj("\n".join(page())), BASIC_BODY)
CASES["lone_cr"] = (sj("\r".join(page()) + "\r"), BASIC_BODY)
CASES["mixed_breaks"] = (sj("\r\n".join(page()[:12]) + "\n" + "\r".join(page()[12:])),
                         BASIC_BODY)

# A NUL ends the page: here right after the end time, so the later lists and the detail
# are gone.
lines = page()
cut = next(i for i, l in enumerate(lines) if 'name="end_minute"' in l) + 1
CASES["nul_inside"] = (crlf(lines[:cut]) + b"\x00" + crlf(lines[cut:]),
                       BASIC_BODY.split("&disc=")[0] + "&lVoice=1&end_form=0")

# Titles whose characters end in 0x5C: the second byte is copied as a backslash.
CASES["sjis_5c_title"] = (
    crlf(page(title="時刻表・予定", detail=["ソフト表示"])),
    replace_field(replace_field(BASIC_BODY, "title_name",
                                "%8E%9E%8D%8F%95\\%81E%97\\%92%E8"),
                  "detail", "%83\\%83t%83g%95\\%8E%A6"))

# A 0x5C second byte followed by ">") is no end of the title: the marker never starts
# on the second byte of a character.
CASES["title_trail_5c"] = (
    crlf(page(title='予">")後')),
    replace_field(BASIC_BODY, "title_name", '%97\\"%3E")%8C%E3'))

# Entities are decoded in one pass before the encoding: "&amp;lt;" is the "&lt;" the user typed.
CASES["entities"] = (
    crlf(page(title="Tom &amp; Jerry &lt;新&gt; &amp;lt;x&amp;gt; &amp;quot;q&amp;quot; "
                    "&quot;Q&quot; &nbsp;end+1 50%*#&#33;",
              detail=["a&amp;b &lt;c&gt;", "&amp;nbsp;=?/\t&copy;"])),
    replace_field(replace_field(
        BASIC_BODY, "title_name",
        "Tom%20%26%20Jerry%20%3C%90V%3E%20%26lt;x%26gt;%20%26quot;q%26quot;%20\"Q\"%20%20end%2B1"
        "%2050%25%2A%23%26%2333;"),
        "detail", "a%26b%20%3Cc%3E\r\n%26nbsp;=?/\t%26copy;"))

# A list without any "selected" is left out.
sel = dict(bAutoChapter=select_lines("bAutoChapter",
                                     [("0", "しない", False), ("1", "する", False)]))
CASES["no_selected"] = (crlf(page(selects=sel)), replace_field(BASIC_BODY, "bAutoChapter", None))

# A "selected" of a later list does not count; the scan goes on after this list's anchor.
sel = dict(genre=select_lines("genre", [("1", "ドラマ", False), ("3", "映画", False)]))
CASES["selected_after_list_end"] = (crlf(page(selects=sel)),
                                    replace_field(BASIC_BODY, "genre", None))

# The selected option's value stands further back than the 12 bytes kept before
# "selected": the next option's value is taken.
sel = dict(genre=select_lines(
    "genre", [("1", "ドラマ", False), ("3", "映画", True), ("5", "アニメ", False)],
    option_format='<OPTION value="{v}" class="current"{sel}>{label}'))
CASES["value_far_before"] = (crlf(page(selects=sel)), replace_field(BASIC_BODY, "genre", "5"))

# Fewer bytes than kept stand in front of "selected": nothing is dropped.
CASES["short_list"] = (
    sj('<INPUT name="bExec" checked><SELECT name="genre">value="7" selected</select>'),
    "bExec=ON&genre=7&lVoice=1&end_form=0")

# A detail without "</textarea>" is sent empty.
CASES["missing_textarea_end"] = (crlf(page(detail_end="")),
                                 replace_field(BASIC_BODY, "detail", ""))

# Fields out of the form's order are lost once the scan has passed them.
CASES["out_of_order"] = (
    crlf(page(order=("channel", "genre", "date", "times", "disc", "vrate", "amode", "dvdr",
                     "aspect", "bVPerform", "bAutoChapter"),
              times=[TIMES[2], TIMES[0], TIMES[1], TIMES[3]])),
    replace_field(replace_field(BASIC_BODY, "channel", None), "end_hour", None))

# No marker at all, and an empty file.
CASES["no_markers"] = (crlf(["<HTML>", "<BODY>予約はありません</BODY>", "</HTML>"]),
                       "bExec=&lVoice=1&end_form=0")
CASES["empty"] = (b"", "bExec=&lVoice=1&end_form=0")

# The check box: two blanks, no "checked", or no check box at all.
CASES["bexec_two_blanks"] = (
    crlf(page(bexec='<INPUT TYPE="checkbox" name="bExec"  checked>実行')),
    replace_field(BASIC_BODY, "bExec", ""))
CASES["bexec_unchecked"] = (crlf(page(bexec='<INPUT TYPE="checkbox" name="bExec">実行')),
                            replace_field(BASIC_BODY, "bExec", ""))
CASES["bexec_missing"] = (crlf(page(bexec=None)), replace_field(BASIC_BODY, "bExec", ""))

# An empty detail and an empty title.
CASES["empty_texts"] = (crlf(page(title="", detail=[])),
                        replace_field(replace_field(BASIC_BODY, "title_name", ""), "detail", ""))

for name, (page_bytes, body) in CASES.items():
    with open(os.path.join(HERE, name + ".htm"), "wb") as f:
        f.write(page_bytes)
    with open(os.path.join(HERE, name + ".body"), "wb") as f:
        f.write(body.encode("latin-1"))
print("wrote", len(CASES), "cases")
