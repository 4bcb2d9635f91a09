#!/usr/bin/env python3
"""Packs the Public Suffix List into the table the cookie code reads.

Usage: make_public_suffix_table.py <public_suffix_list.dat> <output.cpp>

Every rule is written backwards ("ku.oc" for "co.uk") with its kind, and the
sorted list is front-coded: each word gives how many leading characters it
shares with the one before (at most 63), the rest of its characters, and an
end mark that carries its kind. Those symbols are Huffman-coded with one
code per preceding symbol (order 1), which packs the list to about a third of
its text. The library unpacks it once, on its first lookup.

Kinds: 1 the name is a rule, 2 a wildcard rule sits under it ("*.ck"), 4 it
is an exception ("!www.ck"). Names with other than ASCII letters are written
as their punycode (xn--) labels: that is how a host reaches the client.

Layout (bytes):
  u16 context count, then per context: the preceding symbol, u8 count of
  symbols that follow it, then (symbol, code length) pairs;
  u32 word count; then the code bits, most significant bit first.
Symbols: a character is its ASCII code, a shared count n is 0x80 + n, an end
mark of kind k is 0xC0 + k. The first word follows an end mark of kind 0.
"""

import heapq
import sys

RULE, WILDCARD, EXCEPTION = 1, 2, 4
MOST_SHARED = 63
SHARED, END = 0x80, 0xC0


def ascii_label(label):
    if label.isascii():
        return label
    return "xn--" + label.encode("punycode").decode("ascii")


def read_rules(path):
    rules = {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            line = line.split("//", 1)[0].strip().split()
            if not line:
                continue
            rule = line[0].lower()
            kind = RULE
            if rule.startswith("!"):
                kind, rule = EXCEPTION, rule[1:]
            elif rule.startswith("*."):
                # The name under a wildcard is a suffix too ("kawasaki.jp"
                # for "*.kawasaki.jp"), as libpsl and browsers read it.
                kind, rule = RULE | WILDCARD, rule[2:]
            name = ".".join(ascii_label(label) for label in rule.split("."))
            rules[name[::-1]] = rules.get(name[::-1], 0) | kind
    return rules


def symbols_of(rules):
    symbols, previous = [], ""
    for word in sorted(rules):
        shared = 0
        while shared < min(len(word), len(previous), MOST_SHARED) and word[shared] == previous[shared]:
            shared += 1
        symbols.append(SHARED + shared)
        symbols.extend(ord(c) for c in word[shared:])
        symbols.append(END + rules[word])
        previous = word
    return symbols


def code_lengths(counts):
    """Huffman code lengths of the symbols counted."""
    if len(counts) == 1:
        return {next(iter(counts)): 1}
    heap = [(count, i, [symbol]) for i, (symbol, count) in enumerate(sorted(counts.items()))]
    heapq.heapify(heap)
    lengths = dict.fromkeys(counts, 0)
    order = len(heap)
    while len(heap) > 1:
        count1, _, group1 = heapq.heappop(heap)
        count2, _, group2 = heapq.heappop(heap)
        for symbol in group1 + group2:
            lengths[symbol] += 1
        heapq.heappush(heap, (count1 + count2, order, group1 + group2))
        order += 1
    return lengths


def canonical_codes(lengths):
    codes, code, previous_length = {}, 0, 0
    for symbol, length in sorted(lengths.items(), key=lambda item: (item[1], item[0])):
        code <<= length - previous_length
        codes[symbol] = (code, length)
        code += 1
        previous_length = length
    return codes


def pack(rules):
    symbols = symbols_of(rules)
    successors = {}
    context = END
    for symbol in symbols:
        successors.setdefault(context, {}).setdefault(symbol, 0)
        successors[context][symbol] += 1
        context = symbol
    out = bytearray(len(successors).to_bytes(2, "little"))
    codes = {}
    for context in sorted(successors):
        lengths = code_lengths(successors[context])
        if max(lengths.values()) > 31:
            sys.exit("a code longer than 31 bits")
        codes[context] = canonical_codes(lengths)
        out += bytes([context, len(lengths) % 256])
        for symbol, length in sorted(lengths.items()):
            out += bytes([symbol, length])
    out += len(rules).to_bytes(4, "little")
    bits, used, context = 0, 0, END
    for symbol in symbols:
        code, length = codes[context][symbol]
        bits, used = (bits << length) | code, used + length
        while used >= 8:
            used -= 8
            out.append((bits >> used) & 0xFF)
        bits &= (1 << used) - 1
        context = symbol
    if used:
        out.append((bits << (8 - used)) & 0xFF)
    return out


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    rules = read_rules(sys.argv[1])
    for word in rules:
        if any(not (0x21 <= ord(c) <= 0x7E) for c in word):
            sys.exit("unexpected character in rule " + word[::-1])
    packed = pack(rules)
    with open(sys.argv[2], "w", encoding="ascii") as out:
        out.write("// Generated from %s (%d rules) by make_public_suffix_table.py.\n"
                  % (sys.argv[1].rsplit("/", 1)[-1], len(rules)))
        out.write("#include \"httpstate/IdPublicSuffix.h\"\n\nnamespace vantro {\n\n")
        out.write("const unsigned char kPublicSuffixTable[] = {\n")
        for start in range(0, len(packed), 24):
            out.write(",".join(str(b) for b in packed[start:start + 24]) + ",\n")
        out.write("};\nconst std::size_t kPublicSuffixTableSize = sizeof kPublicSuffixTable;\n")
        out.write("\n}  // namespace vantro\n")
    print("public suffix table: %d rules, %d bytes" % (len(rules), len(packed)))


if __name__ == "__main__":
    main()
