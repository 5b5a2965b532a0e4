#!/usr/bin/env python3
"""Makes the user guide that Help opens: docs/USER_GUIDE.md as one HTML file, its pictures inside it, so that the
file alone, copied beside Quarrow.exe, is the whole guide.

    make-guide.py SOURCE.md OUTPUT.html

Knows the Markdown the guide uses: headings, paragraphs, lists, tables, code, pictures, links, bold, italics."""
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


def picture(source_dir, path, alt):
    file = os.path.join(source_dir, path)
    if not os.path.isfile(file):
        return '<em>[%s]</em>' % html.escape(alt)
    with open(file, 'rb') as f:
        data = base64.b64encode(f.read()).decode('ascii')
    return '<img alt="%s" src="data:image/png;base64,%s">' % (html.escape(alt, quote=True), data)


def inline(text, source_dir):
    # Code spans first, kept apart from every other rule.
    parts = re.split(r'(`[^`]*`)', text)
    out = []
    for part in parts:
        if part.startswith('`') and part.endswith('`') and len(part) >= 2:
            out.append('<code>%s</code>' % html.escape(part[1:-1]))
            continue
        part = html.escape(part, quote=False)
        part = re.sub(r'!\[([^\]]*)\]\(([^)\s]+)\)', lambda m: picture(source_dir, html.unescape(m.group(2)),
                                                                       html.unescape(m.group(1))), part)
        part = re.sub(r'\[([^\]]+)\]\(([^)\s]+)\)', r'<a href="\2">\1</a>', part)
        part = re.sub(r'\*\*([^*]+)\*\*', r'<strong>\1</strong>', part)
        part = re.sub(r'(?<![\w*])\*([^*\n]+)\*(?![\w*])', r'<em>\1</em>', part)
        out.append(part)
    return ''.join(out)


def cells(line):
    return [c.strip() for c in line.strip().strip('|').split('|')]


def convert(lines, source_dir):
    out = []
    i = 0
    paragraph = []
    lists = []  # open list tags, innermost last, with their indent

    def end_paragraph():
        if paragraph:
            out.append('<p>%s</p>' % inline(' '.join(paragraph), source_dir))
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
            anchor = re.sub(r'[^a-z0-9]+', '-', text.lower()).strip('-')
            out.append('<h%d id="%s">%s</h%d>' % (level, anchor, inline(text, source_dir), level))
        elif stripped.startswith('|') and i + 1 < len(lines) and re.match(r'^\s*\|[\s:|-]+\|\s*$', lines[i + 1]):
            end_paragraph()
            end_lists()
            rows = ['<tr>%s</tr>' % ''.join('<th>%s</th>' % inline(c, source_dir) for c in cells(line))]
            i += 2
            while i < len(lines) and lines[i].strip().startswith('|'):
                rows.append('<tr>%s</tr>' % ''.join('<td>%s</td>' % inline(c, source_dir) for c in cells(lines[i])))
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
            out.append(inline(text, source_dir))
        elif lists and line.startswith(' '):
            out.append(' ' + inline(stripped, source_dir))
        else:
            end_lists()
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
    body = convert(lines, os.path.dirname(os.path.abspath(source)))
    page = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n<title>%s</title>\n'
            '<style>\n%s\n</style>\n</head>\n<body>\n%s\n</body>\n</html>\n') % (html.escape(title), STYLE, body)
    os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
    with open(target + '.part', 'w', encoding='utf-8', newline='\r\n') as f:
        f.write(page)
    os.replace(target + '.part', target)


if __name__ == '__main__':
    main()
