#!/usr/bin/python3
"""Checks the mail text routines against Python's email and codecs modules.

Usage: check_text_reference.py PATH-TO-mail_text_reference
Generates subjects, display names, address lists and Shift_JIS texts, has the program
encode them and decodes the results with the standard library.
"""
import base64
import random
import re
import subprocess
import sys
import unicodedata
from email import policy
from email.header import decode_header
from email.parser import BytesParser
from email.utils import getaddresses

TOOL = sys.argv[1]
rng = random.Random(4)
failures = []
checks = 0

ENCODED_WORD = re.compile(rb'=\?[^?\s]*\?[QqBb]\?[^?\s]*\?=')
# What email.header takes for an encoded word; plain text must not look like one.
LOOKS_ENCODED = re.compile(rb'=\?[^?]*\?[QqBb]\?.*?\?=', re.S)
LATIN1_LETTERS = bytes(range(0xC0, 0x100)).replace(b'\xd7', b'').replace(b'\xf7', b'')
SPECIALS = b'"(),.:;<>@[]\\=?_!#$%&\'*+-/{}|~`^'


def hexed(data):
    return data.hex() or '-'


def run(requests):
    """One result (bytes) per request line."""
    out = subprocess.run([TOOL], input=('\n'.join(requests) + '\n').encode(),
                         capture_output=True, check=True).stdout.decode()
    return [bytes.fromhex(line) for line in out.splitlines()]


def expect(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


# ---------------------------------------------------------------- generated texts

def ascii_word():
    letters = b'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789'
    return bytes(rng.choice(letters) for _ in range(rng.randint(1, 10)))


def latin1_word():
    pool = b'aeiounrstlAEIOU' + LATIN1_LETTERS
    return bytes(rng.choice(pool) for _ in range(rng.randint(1, 12)))


def specials_word():
    return bytes(rng.choice(SPECIALS + b'abc\xf1') for _ in range(rng.randint(1, 6)))


def long_run():
    return bytes(rng.choice(LATIN1_LETTERS + b'xyz,') for _ in range(rng.randint(40, 140)))


def latin1_text(max_words):
    makers = [ascii_word] * 4 + [latin1_word] * 3 + [specials_word] * 2 + [long_run]
    words = [rng.choice(makers)() for _ in range(rng.randint(1, max_words))]
    text = b''
    for i, word in enumerate(words):
        if i:
            text += rng.choice([b' ', b' ', b' ', b'  ', b'\t', b' \t '])
        text += word
    if rng.random() < 0.1:
        text = b' ' + text
    if rng.random() < 0.1:
        text += b' '
    return text


def native_text(codec, max_words):
    """Words of CJK characters the codec holds, mixed with ASCII words."""
    words = []
    for _ in range(rng.randint(1, max_words)):
        if rng.random() < 0.3:
            words.append(ascii_word())
            continue
        chars = ''
        while len(chars) < rng.randint(1, 30):
            c = chr(rng.randint(0x4E00, 0x9FA5))
            try:
                c.encode(codec)
                chars += c
            except UnicodeEncodeError:
                pass
        words.append(chars.encode(codec))
    return b' '.join(words)


def plain_looking(text):
    return not LOOKS_ENCODED.search(text)


# ---------------------------------------------------------------- decoding helpers

def decoded_parts(value):
    """The header value decoded by email.header, as (bytes, charset) pairs."""
    parts = []
    for data, charset in decode_header(value.decode('ascii')):
        parts.append((data.encode('latin-1') if isinstance(data, str) else data, charset))
    return parts


def unfold(value):
    return re.sub(r'\r?\n', '', value)


def without_blanks(data):
    return re.sub(rb'\s+', b'', data)


def check_header_block(block, what):
    expect(block.endswith(b'\r\n'), what + ': block ends in CR LF')
    lines = block[:-2].split(b'\r\n')
    for i, line in enumerate(lines):
        expect(b'\r' not in line and b'\n' not in line, what + ': bare CR or LF in a line')
        expect(line.strip(b' \t') != b'', what + ': blank line in the header')
        if i:
            expect(line[:1] in (b' ', b'\t'), what + ': continuation without leading blank')
    return lines


# ---------------------------------------------------------------- encoded words

def check_words(charset, letter, transfer, codec, texts, specials):
    requests = ['words %s %s %d %d %s' % (charset, letter, transfer, specials, hexed(t))
                for t in texts]
    outputs = run(requests)
    for text, out in zip(texts, outputs):
        what = '%s %s %r -> %r' % (charset, letter, text, out)
        expect(all(b < 0x80 for b in out), what + ': output not ASCII')
        for word in ENCODED_WORD.findall(out):
            expect(len(word) <= 75, what + ': encoded word longer than 75')
        got = ''.join(data.decode(cs or 'ascii') for data, cs in decoded_parts(out))
        # email.header drops the blanks in front of the first encoded word.
        expected = (text.lstrip(b' \t') if ENCODED_WORD.search(out) else text).decode(codec)
        expect(got == expected, what + ': decodes to %r' % got)
    return outputs


def check_subject_headers(subjects, encoded):
    blocks = run(['header %s %s' % (hexed(b'Subject'), hexed(e)) for e in encoded])
    for subject, block in zip(subjects, blocks):
        what = 'Subject %r -> %r' % (subject, block)
        lines = check_header_block(block, what)
        for i, line in enumerate(lines):
            # A line runs past the fold column only when it had nowhere to break; the first
            # one keeps its first word on the name's line, as a fold there would start the
            # value with a blank.
            text = line[len(b'Subject: '):] if i == 0 else line.lstrip(b' \t')
            if len(line) > 80 and b'"' not in subject:
                expect(not re.search(rb'[ \t,]', text[:-2]), what + ': long line')
        message = BytesParser(policy=policy.compat32).parsebytes(block + b'\r\n')
        value = unfold(message['Subject']).encode('ascii')
        # RFC 2047: no blank inside an encoded word, so a fold must never fall in one.
        expect(value.count(b'=?ISO-8859-1?Q?') == len(ENCODED_WORD.findall(value)),
               what + ': broken encoded word')
        got = b''.join(data for data, _ in decoded_parts(value))
        expect(without_blanks(got) == without_blanks(subject), what + ': reads back %r' % got)


def check_subjects():
    subjects = [s for s in (latin1_text(12) for _ in range(400)) if plain_looking(s)]
    encoded = check_words('ISO-8859-1', 'Q', 1, 'latin-1', subjects, 0)
    check_subject_headers(subjects, encoded)
    names = [s for s in (latin1_text(5) for _ in range(300)) if plain_looking(s)]
    for out in check_words('ISO-8859-1', 'Q', 1, 'latin-1', names, 1):
        for word in ENCODED_WORD.findall(out):
            expect(not re.search(rb'[",.:;<>@\[\]\\()]', word[2:-2].split(b'?', 2)[2]),
                   'address special left in encoded name %r' % out)
    for charset, codec in (('GB2312', 'gb2312'), ('Big5', 'big5'), ('EUC-KR', 'euc_kr')):
        texts = [native_text(codec, 4) for _ in range(60)]
        for out in check_words(charset, 'B', 1, codec, texts, 0):
            for word in ENCODED_WORD.findall(out):
                groups = len(word.split(b'?')[3]) // 4
                expect(groups <= 15 if charset == 'GB2312' else len(word) <= 75,
                       '%s word with %d groups' % (charset, groups))
    check_iso2022jp_words()


def check_iso2022jp_words():
    texts = []
    for _ in range(80):
        words = [ascii_word() if rng.random() < 0.3 else
                 ''.join(rng.choice(JAPANESE) for _ in range(rng.randint(1, 30))).encode('shift_jis')
                 for _ in range(rng.randint(1, 4))]
        texts.append(b' '.join(words))
    requests = ['words ISO-2022-JP B 2 0 %s' % hexed(t) for t in texts]
    for text, out in zip(texts, run(requests)):
        what = 'ISO-2022-JP %r -> %r' % (text, out)
        for word in ENCODED_WORD.findall(out):
            expect(len(word.split(b'?')[3]) // 4 <= 14, what + ': more than 14 groups')
        got = ''.join(data.decode(cs or 'ascii') for data, cs in decoded_parts(out))
        expect(got == text.decode('shift_jis'), what + ': decodes to %r' % got)


JAPANESE = 'あいうえおかがきぎアイウエオカガパピ漢字日本語東京大阪表示能力亜唖娃阿'


# ---------------------------------------------------------------- Shift_JIS

def jis_of(text):
    """The ISO-2022-JP bytes Python's codecs give for a Unicode text."""
    return text.encode('iso2022_jp')


def arithmetic_jis(lead, trail):
    """JIS X 0208 row and cell of a pair through JIS X 0213, which fills most of the cells
    that JIS X 0208 leaves empty: Shift_JIS-2004 to Unicode to EUC-JIS-2004, whose first
    plane is JIS row and cell with the high bits set."""
    try:
        euc = bytes([lead, trail]).decode('shift_jis_2004').encode('euc_jis_2004')
        if len(euc) == 2:
            return bytes([euc[0] & 0x7F, euc[1] & 0x7F])
    except UnicodeError:
        pass
    return None


def check_shift_jis_pairs():
    pairs = [(lead, trail)
             for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xF0))
             for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))]
    outputs = run(['sjis %02x%02x' % pair for pair in pairs])
    by_codec = by_2004 = 0
    for (lead, trail), out in zip(pairs, outputs):
        what = 'pair %02X%02X -> %r' % (lead, trail, out)
        try:
            expected = jis_of(bytes([lead, trail]).decode('shift_jis'))
            by_codec += 1
        except UnicodeError:
            code = arithmetic_jis(lead, trail)
            if code is None:
                continue
            expected = b'\x1b$B' + code + b'\x1b(B'
            by_2004 += 1
        expect(out == expected, what + ': expected %r' % expected)
    expect(by_codec > 6800, 'shift_jis decoded only %d pairs' % by_codec)
    print('Shift_JIS pairs: %d through shift_jis, %d through JIS X 0213' % (by_codec, by_2004))


def halfwidth_reference(data):
    """Half-width katakana to full width as NFKC does, a mark that cannot combine with
    the letter before it becoming the spacing full-width mark."""
    text = data.decode('shift_jis')
    out, i = '', 0
    while i < len(text):
        if not '\uff61' <= text[i] <= '\uff9f':
            out += text[i]
            i += 1
            continue
        pair = unicodedata.normalize('NFKC', text[i:i + 2])
        if i + 1 < len(text) and text[i + 1] in '\uff9e\uff9f' and len(pair) == 1:
            try:
                jis_of(pair)
                out += pair
                i += 2
                continue
            except UnicodeError:
                pass
        single = unicodedata.normalize('NFKC', text[i])
        out += {'\u3099': '\u309b', '\u309a': '\u309c'}.get(single, single)
        i += 1
    return out


def check_shift_jis_kana():
    texts = [bytes([k]) for k in range(0xA1, 0xE0)]
    texts += [bytes([k, m]) for k in range(0xA1, 0xE0) for m in (0xDE, 0xDF)]
    decodable = [bytes([lead, trail]) for lead in range(0x81, 0xA0) for trail in range(0x40, 0xFD)
                 if trail != 0x7F and try_decode(bytes([lead, trail]))]
    for _ in range(300):
        parts = [rng.choice([ascii_word(), rng.choice(decodable), bytes([rng.randint(0xA1, 0xDF)]),
                             bytes([rng.randint(0xA1, 0xDD), rng.choice([0xDE, 0xDF])])])
                 for _ in range(rng.randint(1, 12))]
        texts.append(b''.join(parts))
    for text, out in zip(texts, run(['sjis ' + hexed(t) for t in texts])):
        expected = jis_of(halfwidth_reference(text))
        expect(out == expected, 'kana %r -> %r, expected %r' % (text, out, expected))


def try_decode(data):
    try:
        data.decode('shift_jis')
        return True
    except UnicodeError:
        return False


# ---------------------------------------------------------------- addresses

def display_name():
    kind = rng.randrange(5)
    if kind == 0:
        return b''
    if kind == 1:
        return b' '.join(ascii_word() for _ in range(rng.randint(1, 3)))
    return latin1_text(4)


def address():
    local = ascii_word() + rng.choice([b'', b'.', b'_', b'+', b'-']) + ascii_word()
    return local + b'@' + ascii_word().lower() + b'.example'


def normalized(name):
    return b' '.join(name.split())


def check_address_lists():
    lists = []
    for _ in range(300):
        items = [(display_name(), address()) for _ in range(rng.randint(1, 4))]
        if all(plain_looking(name) for name, _ in items):
            lists.append(items)
    requests = ['addresses ISO-8859-1 Q 1 ' + ' '.join(hexed(n) + ' ' + hexed(a) for n, a in items)
                for items in lists]
    for items, block in zip(lists, run(requests)):
        what = 'To %r -> %r' % (items, block)
        check_header_block(block, what)
        message = BytesParser(policy=policy.compat32).parsebytes(block + b'\r\n')
        parsed = getaddresses([unfold(message['To'])])
        expect(len(parsed) == len(items), what + ': parsed as %r' % parsed)
        for (name, addr), (got_name, got_addr) in zip(items, parsed):
            got = b''.join(data for data, _ in decoded_parts(got_name.encode('latin-1')))
            expect(got_addr.encode() == addr, what + ': address %r' % got_addr)
            expect(normalized(got) == normalized(name), what + ': name %r' % got)


# ---------------------------------------------------------------- base64

def check_base64():
    texts = [bytes(rng.randrange(256) for _ in range(n)) for n in list(range(10)) + [57, 58, 59, 300]]
    for text, out in zip(texts, run(['base64 ' + hexed(t) for t in texts])):
        expect(out == base64.b64encode(text), 'base64 of %r: %r' % (text, out))


check_subjects()
check_shift_jis_pairs()
check_shift_jis_kana()
check_address_lists()
check_base64()
for failure in failures[:30]:
    print('FAIL', failure)
print('%d checks, %d failures' % (checks, len(failures)))
sys.exit(1 if failures else 0)
