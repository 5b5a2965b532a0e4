#!/usr/bin/env python3
"""Makes the user guide that Help opens: docs/USER_GUIDE.md as one HTML file, its pictures inside it, so that the
file alone, copied beside Quarrow.exe, is the whole guide.

    make-guide.py SOURCE.md OUTPUT.html

Knows the Markdown the guide uses: headings, paragraphs, lists, tables, code, pictures, links, bold, italics.
Only the file ships, so it refuses (and writes nothing) a link to another file, a link to a heading the guide does
not have, and a picture that is not beside the source."""
import base64
import html
import os
import re
import sys

STYLE = """body { font-family: Segoe UI, Tahoma, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em;
 line-height: 1.45; color: #1f2328; }
h1, h2, h3 { color: #1e5c9e; } code, pre { font-family: Consolas, monospace; background: #eef1f4; }
pre { padding: 0.6em; overflow-x: auto; } table { border-collapse: collapse; margin: 0.6em 0; }
th, td { border: 1px solid #9aa5b1; padding: 0.25em 0.5em; text-align: left; vertical-align: top; }
img { max-width: 100%; border: 1px solid #d0d7de; }"""


# Pictures are embedded by their extension's type; nothing else can be part of the one file.
PICTURE_TYPES = {'.png': 'image/png', '.jpg': 'image/jpeg', '.jpeg': 'image/jpeg', '.gif': 'image/gif'}
# Addresses that leave the guide on purpose; any other link must be a heading of the guide itself.
WEB_LINK = re.compile(r'^(https?:|mailto:)', re.IGNORECASE)


def anchor_of(heading):
    return re.sub(r'[^a-z0-9]+', '-', heading.lower()).strip('-')


class Guide:
    def __init__(self, source_dir, lines):
        self.source_dir = source_dir
        self.lines = lines
        self.anchors = headings(lines)
        self.line = 0  # where the text being converted starts, from 1
        self.faults = []

    def fault(self, target, text):
        # A paragraph is converted as one text: the fault is on its first line that holds the target.
        line = next((n for n in range(self.line, len(self.lines) + 1) if '(%s)' % target in self.lines[n - 1]),
                    self.line)
        self.faults.append((line, text))

    def picture(self, path, alt):
        file = os.path.join(self.source_dir, path)
        kind = PICTURE_TYPES.get(os.path.splitext(path)[1].lower())
        if WEB_LINK.match(path) or kind is None or not os.path.isfile(file):
            self.fault(path, 'the picture "%s" is no .png, .jpg or .gif file beside the guide\'s source, so it '
                       'cannot be embedded' % path)
            return ''
        with open(file, 'rb') as f:
            data = base64.b64encode(f.read()).decode('ascii')
        return '<img alt="%s" src="data:%s;base64,%s">' % (html.escape(alt, quote=True), kind, data)

    def link(self, target, text):
        # target is escaped already, as the page needs it; the messages name it as written.
        written = html.unescape(target)
        if written.startswith('#'):
            if written[1:] not in self.anchors:
                self.fault(written, 'the link "%s" names no heading of the guide' % written)
        elif not WEB_LINK.match(written):
            self.fault(written, 'the link "%s" points at a file that does not ship with the guide (only the guide '
                       'itself does, with its pictures inside): write the information itself, or link to a heading '
                       '(#anchor)' % written)
        return '<a href="%s">%s</a>' % (target.replace('"', '&quot;'), text)

    def inline(self, text):
        # Code spans first, kept apart from every other rule.
        parts = re.split(r'(`[^`]*`)', text)
        out = []
        for part in parts:
            if part.startswith('`') and part.endswith('`') and len(part) >= 2:
                out.append('<code>%s</code>' % html.escape(part[1:-1]))
                continue
            part = html.escape(part, quote=False)
            part = re.sub(r'!\[([^\]]*)\]\(([^)\s]+)\)',
                          lambda m: self.picture(html.unescape(m.group(2)), html.unescape(m.group(1))), part)
            part = re.sub(r'\[([^\]]+)\]\(([^)\s]+)\)', lambda m: self.link(m.group(2), m.group(1)), part)
            part = re.sub(r'\*\*([^*]+)\*\*', r'<strong>\1</strong>', part)
            part = re.sub(r'(?<![\w*])\*([^*\n]+)\*(?![\w*])', r'<em>\1</em>', part)
            out.append(part)
        return ''.join(out)


def headings(lines):
    anchors = set()
    in_code = False
    for line in lines:
        stripped = line.strip()
        if stripped.startswith('```'):
            in_code = not in_code
        elif not in_code and re.match(r'#{1,6} ', stripped):
            anchors.add(anchor_of(stripped.lstrip('#').strip()))
    return anchors


def cells(line):
    return [c.strip() for c in line.strip().strip('|').split('|')]


def convert(lines, guide):
    out = []
    i = 0
    paragraph = []
    paragraph_line = 0
    lists = []  # open list tags, innermost last, with their indent
    inline = guide.inline

    def end_paragraph():
        if paragraph:
            guide.line = paragraph_line
            out.append('<p>%s</p>' % inline(' '.join(paragraph)))
            paragraph.clear()

    def end_lists(indent=-1):
        while lists and lists[-1][1] > indent:
            out.append('</li></%s>' % lists.pop()[0])

    while i < len(lines):
        line = lines[i].rstrip('\n')
        stripped = line.strip()
        if stripped.startswith('```'):
            end_paragraph()
            end_lists()
            code = []
            i += 1
            while i < len(lines) and not lines[i].strip().startswith('```'):
                code.append(lines[i].rstrip('\n'))
                i += 1
            out.append('<pre><code>%s</code></pre>' % html.escape('\n'.join(code)))
        elif not stripped:
            end_paragraph()
        elif re.match(r'#{1,6} ', stripped):
            end_paragraph()
            end_lists()
            level = len(stripped) - len(stripped.lstrip('#'))
            text = stripped[level:].strip()
            guide.line = i + 1
            out.append('<h%d id="%s">%s</h%d>' % (level, anchor_of(text), inline(text), level))
        elif stripped.startswith('|') and i + 1 < len(lines) and re.match(r'^\s*\|[\s:|-]+\|\s*$', lines[i + 1]):
            end_paragraph()
            end_lists()
            guide.line = i + 1
            rows = ['<tr>%s</tr>' % ''.join('<th>%s</th>' % inline(c) for c in cells(line))]
            i += 2
            while i < len(lines) and lines[i].strip().startswith('|'):
                guide.line = i + 1
                rows.append('<tr>%s</tr>' % ''.join('<td>%s</td>' % inline(c) for c in cells(lines[i])))
                i += 1
            out.append('<table>%s</table>' % ''.join(rows))
            continue
        elif re.match(r'\s*([-*]|\d+\.) ', line):
            end_paragraph()
            indent = len(line) - len(line.lstrip())
            tag = 'ol' if re.match(r'\s*\d+\.', line) else 'ul'
            text = re.sub(r'^\s*([-*]|\d+\.) ', '', line)
            if lists and lists[-1][1] == indent:
                out.append('</li><li>')
            elif not lists or lists[-1][1] < indent:
                out.append('<%s><li>' % tag)
                lists.append((tag, indent))
            else:
                end_lists(indent)
                out.append('</li><li>' if lists else '<%s><li>' % tag)
                if not lists:
                    lists.append((tag, indent))
            guide.line = i + 1
            out.append(inline(text))
        elif lists and line.startswith(' '):
            guide.line = i + 1
            out.append(' ' + inline(stripped))
        else:
            end_lists()
            if not paragraph:
                paragraph_line = i + 1
            paragraph.append(stripped)
        i += 1
    end_paragraph()
    end_lists()
    return '\n'.join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding='utf-8') as f:
        lines = f.readlines()
    title = next((l.strip('# \n') for l in lines if l.startswith('# ')), 'Quarrow')
    guide = Guide(os.path.dirname(os.path.abspath(source)), lines)
    body = convert(lines, guide)
    if guide.faults:
        sys.exit('\n'.join('%s:%d: %s' % (source, line, text) for line, text in guide.faults) +
                 '\nThe user guide was not made: %d fault(s) above.' % len(guide.faults))
    page = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n'
            '<style>\n%s\n</style>\n</head>\n<body>\n%s\n</body>\n</html>\n') % (html.escape(title), STYLE, body)
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target + '.part', 'w', encoding='utf-8', newline='\r\n') as f:
        f.write(page)
    os.replace(target + '.part', target)


if __name__ == '__main__':
    main()
