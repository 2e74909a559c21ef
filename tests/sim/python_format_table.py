#!/usr/bin/env python3
"""Writes python_format_table.inc, the table of python_format_test.cpp: each format with a value and
what Python's str.format gives (None where Python raises)."""
import math

ints = [0, 65, -1234567, 255, -9223372036854775808]
floats = [-0.0, 2.5, 100.0, -1234.5, 0.1234, 99.99, 1e16, 1e-5, 1e22, -0.004, float('inf'), float('nan')]
strs = ['ab', "a'b", 'tab\t\xe9\u20ac']
specs = ['{}', '{:}', '{0}', '{:d}', '{:5d}', '{:<5d}', '{:^6d}', '{:*^7d}', '{:+d}', '{: d}', '{:05d}',
         '{:,d}', '{:_d}', '{:,}', '{:_}', '{:010,}', '{:0=10,}', '{:09,}', '{:08,}', '{:b}', '{:#b}',
         '{:#010b}', '{:_b}', '{:o}', '{:#o}', '{:x}', '{:#x}', '{:X}', '{:#X}', '{:_x}', '{:#_x}',
         '{:012_x}', '{:c}', '{:n}', '{:,n}', '{:e}', '{:E}', '{:.2e}', '{:#.0e}', '{:.0e}', '{:f}',
         '{:F}', '{:.2f}', '{:.0f}', '{:#.0f}', '{:.3f}', '{:+.3f}', '{:8.3f}', '{:08.2f}', '{:=+12.2f}',
         '{:x=+12.2f}', '{:,.2f}', '{:_.2f}', '{:010,.2f}', '{:0<10.2f}', '{:g}', '{:G}', '{:.3g}', '{:#g}',
         '{:#.3g}', '{:.0g}', '{:.3}', '{:.1}', '{:#.3}', '{:.10}', '{:%}', '{:.2%}', '{:.0%}', '{:,.1%}',
         '{:z.1f}', '{:z}', '{:+.8E}', '{:+}', '{:-}', '{: }', '{:>10}', '{:<10}', '{:^10}', '{:s}', '{:>5s}',
         '{:.1s}', '{:.1}', '{:05}', '{!r}', '{!s}', '{!a}', '{!r:>8}', '{!s:>5}', '{!r:^9.3}', '{:,s}',
         '{:+s}', '{:#s}', '{:=5s}', '{:.2d}', '{:,x}', '{:,b}', '{:+c}', '{:_n}', '{:,c}', '{:#c}',
         'V={:.1f} V', '{{{:d}}}', '{:é>6}', '{:.2f}{{}}']
out = []
for s in specs:
    for v in ints + floats + strs:
        try:
            r = s.format(v)
        except (ValueError, TypeError, OverflowError):
            r = None
        out.append((s, v, r))

def cstr(s):
    b = s.encode('utf-8')
    o = '"'
    for c in b:
        if c in (0x22, 0x5c): o += '\\' + chr(c)
        elif 0x20 <= c < 0x7f and c != 0x3f: o += chr(c)
        else: o += '\\%03o' % c
    return o + '"'

def cval(v):
    if isinstance(v, str): return 'Value(std::string(%s))' % cstr(v)
    if isinstance(v, int):
        if v == -9223372036854775808: return 'Value(std::numeric_limits<long long>::min())'
        return 'Value(%dLL)' % v
    if math.isnan(v): return 'Value(kNan)'
    if math.isinf(v): return 'Value(%skInf)' % ('-' if v < 0 else '')
    return 'Value(%s)' % repr(v)

print('// Written by python_format_table.py from Python ' + __import__('platform').python_version() + '\'s own str.format.')
for s, v, r in out:
    print('    {%s, %s, %s},' % (cstr(s), cval(v), 'kRefused' if r is None else cstr(r) + 'sv'))
