#!/usr/bin/env python3
"""Turns the Public Suffix List into the byte graph the cookie code searches.

Usage: make_public_suffix_graph.py <public_suffix_list.dat> <output.cpp>

Every rule is written backwards ("uk.co" for "co.uk") and all of them go into
one minimal acyclic automaton, whose chains of single characters are packed
into one edge. Graph layout, all numbers LEB128 varints:

  node  := varint(flags + 16 * edge count), edge * count
  edge  := label bytes (the last one with bit 7 set), varint(target offset)

flags: 1 the path so far is a rule, 2 a wildcard rule sits under it ("*.ck"),
4 it is an exception ("!www.ck"), 8 the last edge has no offset: its target
is the node that follows this one. The root is at offset 0.

Names with other than ASCII letters are written as their punycode (xn--)
labels: that is how a host reaches the client.
"""

import sys

RULE, WILDCARD, EXCEPTION, FOLLOWS = 1, 2, 4, 8


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
            flag = RULE
            if rule.startswith("!"):
                flag, rule = EXCEPTION, rule[1:]
            elif rule.startswith("*."):
                # The name under a wildcard is a suffix too ("kawasaki.jp"
                # for "*.kawasaki.jp"), as libpsl and browsers read it.
                flag, rule = RULE | WILDCARD, rule[2:]
            name = ".".join(ascii_label(label) for label in rule.split("."))
            key = name[::-1]
            rules[key] = rules.get(key, 0) | flag
    return rules


class Node:
    __slots__ = ("flags", "edges", "id")

    def __init__(self):
        self.flags = 0
        self.edges = {}  # one character -> Node
        self.id = None


def build_trie(rules):
    root = Node()
    for word, flags in rules.items():
        node = root
        for char in word:
            node = node.edges.setdefault(char, Node())
        node.flags |= flags
    return root


def minimise(root):
    """Merges equal subtrees bottom-up: the minimal automaton of a trie."""
    register = {}

    def visit(node):
        for char, child in list(node.edges.items()):
            node.edges[char] = visit(child)
        key = (node.flags, tuple((c, n.id) for c, n in sorted(node.edges.items())))
        if key not in register:
            node.id = len(register)
            register[key] = node
        return register[key]

    sys.setrecursionlimit(100000)
    return visit(root)


def pack_chains(root):
    """Edges as label strings: a node with no flags, one edge and one way in
    is folded into the edge that reaches it."""
    indegree = {}
    seen = set()
    stack = [root]
    while stack:
        node = stack.pop()
        if id(node) in seen:
            continue
        seen.add(id(node))
        for child in node.edges.values():
            indegree[id(child)] = indegree.get(id(child), 0) + 1
            stack.append(child)

    packed = {}  # id(node) -> (flags, [(label, target node)])

    def edges_of(node):
        result = []
        for char, child in sorted(node.edges.items()):
            label = char
            while child.flags == 0 and len(child.edges) == 1 and indegree[id(child)] == 1:
                (next_char, next_child), = child.edges.items()
                label += next_char
                child = next_child
            result.append((label, child))
        return result

    stack = [root]
    while stack:
        node = stack.pop()
        if id(node) in packed:
            continue
        packed[id(node)] = (node.flags, edges_of(node))
        stack.extend(target for _, target in packed[id(node)][1])
    return packed


def varint(value):
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        if value:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def serialise(root, packed):
    references = {}
    for _, edges in packed.values():
        for _, target in edges:
            references[id(target)] = references.get(id(target), 0) + 1
    # A node reached by one edge only may follow its parent directly: that
    # edge goes last and needs no offset.
    follower = {}
    for key, (_, edges) in packed.items():
        single = [i for i, (_, target) in enumerate(edges) if references[id(target)] == 1]
        if single:
            edges.append(edges.pop(single[-1]))
            follower[key] = id(edges[-1][1])
    followers = set(follower.values())
    order, placed = [], set()

    def place(key):
        while key is not None and key not in placed:
            placed.add(key)
            order.append(key)
            key = follower.get(key)

    place(id(root))
    # Nodes reached by many edges early, so their offsets take fewer bytes.
    for key in sorted(packed, key=lambda key: -references.get(key, 0)):
        if key not in followers:
            place(key)

    def encode(key, offsets):
        flags, edges = packed[key]
        follows = key in follower
        out = bytearray(varint(flags + (FOLLOWS if follows else 0) + 16 * len(edges)))
        for index, (label, target) in enumerate(edges):
            data = label.encode("ascii")
            out += data[:-1] + bytes([data[-1] | 0x80])
            if not (follows and index == len(edges) - 1):
                out += varint(offsets[id(target)])
        return bytes(out)

    # Offsets depend on sizes and sizes on offsets: repeat until they settle.
    offsets = {key: 0 for key in order}
    while True:
        position, changed, nodes = 0, False, []
        for key in order:
            if offsets[key] != position:
                offsets[key], changed = position, True
            nodes.append(encode(key, offsets))
            position += len(nodes[-1])
        if not changed:
            return b"".join(nodes)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    rules = read_rules(sys.argv[1])
    for word in rules:
        if any(not (0x21 <= ord(c) <= 0x7E) for c in word):
            sys.exit("unexpected character in rule " + word[::-1])
    root = minimise(build_trie(rules))
    graph = serialise(root, pack_chains(root))
    with open(sys.argv[2], "w", encoding="ascii") as out:
        out.write("// Generated from %s (%d rules) by make_public_suffix_graph.py.\n"
                  % (sys.argv[1].rsplit("/", 1)[-1], len(rules)))
        out.write("#include \"httpstate/IdPublicSuffix.h\"\n\nnamespace vantro {\n\n")
        out.write("const unsigned char kPublicSuffixGraph[] = {\n")
        for start in range(0, len(graph), 24):
            out.write(",".join(str(b) for b in graph[start:start + 24]) + ",\n")
        out.write("};\nconst std::size_t kPublicSuffixGraphSize = sizeof kPublicSuffixGraph;\n")
        out.write("\n}  // namespace vantro\n")
    print("public suffix graph: %d rules, %d bytes" % (len(rules), len(graph)))


if __name__ == "__main__":
    main()
