#!/usr/bin/env python3
"""Writes structural extremes of the rule language that a byte mutator rarely reaches.

    generate.py OUTDIR [--size N]

OUTDIR/rules/*.clp are whole programs (for the parse and run targets): very long field lists, predicate,
test and not chains, many patterns, deep nesting of calls and conditional elements, repeated variables in
one field list, and literals at the edges (32- and 64-bit integer limits, huge and tiny floats, long
strings and symbols, odd escapes). OUTDIR/facts/* are fact texts (for the fact target) and OUTDIR/formats/*
format inputs (control string on the first line, arguments after it). N (default 2000) is the length of
the long shapes; with a small N (say 40) the outputs are small enough to join a seed corpus.
"""
import argparse
import os

INTEGERS = ['0', '-0', '+0', '2147483647', '-2147483648', '2147483648', '-2147483649', '4294967295', '4294967296',
            '9223372036854775807', '-9223372036854775808', '9223372036854775808', '-9223372036854775809',
            '18446744073709551616', '99999999999999999999999999999999', '000000000000012', '+17', '-00']
FLOATS = ['1e308', '-1e308', '1.7976931348623157e308', '1e309', '-1e309', '4.9e-324', '2.2250738585072014e-308',
          '1e-400', '-0.0', '.5', '5.', '+.5e+1', '1E10', '1e+', '1.2.3', '0.1e-0', '123456789012345678901234567890.5']
STRINGS = ['""', '"\\""', '"\\\\"', '"\\n\\t\\r"', '"\\x41\\u0041\\0"', '"trailing backslash \\\\"',
           '"embedded\nnewline"', '"semi;colon (paren) ?var $?mf"', '"\\a\\b\\c\\d\\e\\z"', '"caf\u00e9 \u2603"']
SYMBOLS = ['nil', 'TRUE', 'FALSE', 'EOF', 'crlf', '=>', '<-', '&', '|', '~', ':', '=', 'a|b', '$', '?', '$?',
           'sym$', '-', '+', '-sym', '+1sym', '1sym', 'sym;comment']


def literals():
    return INTEGERS + FLOATS + STRINGS + SYMBOLS


def rules(n):
    fields = ' '.join(str(i % 97) for i in range(n))
    shapes = {}
    shapes['long-field-list'] = f'(defrule r (a {fields}) => (printout t "fired" crlf))\n(assert (a {fields}))\n'
    shapes['predicate-chain'] = ('(defrule r (a ?x' + '&:(> ?x 0)' * n + ') => (printout t ?x crlf))\n'
                                 '(assert (a 5))\n')
    shapes['test-chain'] = '(defrule r (a ?x)\n' + '  (test (> ?x 0))\n' * n + '  => (printout t ?x crlf))\n(assert (a 1))\n'
    shapes['not-chain'] = '(defrule r (a ?x)\n' + '  (not (b ?x))\n' * n + '  => (printout t ?x crlf))\n(assert (a 1))\n'
    patterns = max(2, n // 20)
    shapes['many-patterns'] = ('(defrule r\n' + ''.join(f'  (p{i} ?x)\n' for i in range(patterns)) +
                               '  => (printout t ?x crlf))\n' + ''.join(f'(assert (p{i} 1))\n' for i in range(patterns)))
    shapes['many-rules'] = ''.join(f'(defrule r{i} (a ?x&:(> ?x {i})) => (assert (b {i})))\n'
                                   for i in range(max(2, n // 20))) + f'(assert (a {n}))\n'
    # A repeated multifield variable is matched by trying every split of the fact, at a cost growing with
    # the cube of its length: that shape stays at a hundred fields.
    short = ' '.join(str(i % 97) for i in range(min(n, 100)))
    shapes['repeated-variable'] = (f'(defrule r (a{" ?x" * n}) => (printout t ?x crlf))\n'
                                   f'(assert (a{" 1" * n}))\n(assert (a{" 1" * (n - 1)} 2))\n'
                                   '(defrule m (b $?x $?x) => (printout t $?x crlf))\n'
                                   f'(assert (b {short} {short}))\n')
    depth = min(n, 5000)
    shapes['deep-call'] = '(+ 1 ' * depth + '1' + ')' * depth + '\n'
    shapes['deep-parens'] = '(' * depth + ')' * depth + '\n'
    shapes['unclosed'] = '(defrule r (a ' * depth + '\n'
    shapes['deep-not'] = '(defrule r (a ?x) ' + '(not ' * depth + '(b ?x)' + ')' * depth + ' => )\n(assert (a 1))\n'
    shapes['deep-and-or'] = ('(defrule r (a ?x) ' + '(and (or ' * (depth // 2) + '(b ?x)' + ') (c))' * (depth // 2) +
                             ' => )\n(assert (a 1) (b 1) (c))\n')
    shapes['deep-multifield'] = '(create$ ' * depth + 'x' + ')' * depth + '\n'
    shapes['long-create'] = '(length$ (create$ ' + fields + '))\n'
    shapes['long-string'] = '(str-length "' + 'x\\"' * n + '")\n(assert (s "' + 'y' * n + '"))\n'
    shapes['long-symbol'] = f'(assert ({"s" * n} {"t" * n}))\n(defrule {"r" * n} ({"s" * n} ?{"v" * n}) => )\n'
    lits = ' '.join(literals())
    shapes['literals'] = (f'(assert (lit {lits}))\n(create$ {lits})\n' +
                          ''.join(f'(printout t {x} crlf)\n' for x in literals()) +
                          ''.join(f'({op} {a} {b})\n' for op in ['+', '-', '*', '/', 'div', 'mod', 'max', 'min', '**']
                                  for a in ['2147483647', '-2147483648', '1e308', '-0.0']
                                  for b in ['1', '-1', '0', '2147483647', '-2147483648', '1e308']) +
                          ''.join(f'({f} {a})\n' for f in ['abs', 'integer', 'float', 'round', 'sqrt', 'exp', 'log',
                                                            'str-cat', 'sym-cat', 'string-to-field', 'numberp']
                                  for a in ['2147483647', '-2147483648', '1e308', '-1e308', '-0.0', '"1e400"',
                                            '"-9223372036854775809"']))
    shapes['templates'] = ('(deftemplate t ' + ''.join(f'(slot s{i} (default {i})) ' for i in range(max(2, n // 20))) +
                           ')\n(assert (t))\n(deftemplate u (multislot m (default ' + fields + ')))\n(assert (u))\n')
    shapes['deffacts-many'] = '(deffacts f ' + ''.join(f'(f {i}) ' for i in range(max(2, n // 10))) + ')\n(reset)\n'
    shapes['salience-limits'] = ''.join(f'(defrule r{i} (declare (salience {s})) => )\n'
                                        for i, s in enumerate(['10000', '-10000', '10001', '2147483647',
                                                               '-2147483648', '9223372036854775808', '1.5']))
    return shapes


def facts(n):
    fields = ' '.join(str(i % 97) for i in range(n))
    depth = min(n, 5000)
    shapes = {
        'long-field-list': f'(a {fields})',
        'long-multislot': f'(person (tags {fields}))',
        'deep-parens': '(a ' + '(' * depth + ')' * depth + ')',
        'unclosed': '(a ' * depth,
        'long-string': '(a "' + 'x\\"' * n + '")',
        'long-symbol': f'({"s" * n} {"t" * n})',
        'literals': '(lit ' + ' '.join(literals()) + ')',
        'template-literals': '(any (a 2147483648) (b ' + ' '.join(literals()) + '))',
        'point-limits': '(point (x -2147483649) (y 1e309))',
    }
    return shapes


def formats(n):
    args = ' '.join(['2147483647', '-2147483648', '1e308', '-0.0', '"s"', 'sym', '(create$ a b)'])
    return {
        'many-directives': '%d %f %s %g %e %x %o' * (n // 20 + 1) + '\n' + args,
        'huge-width': '%2147483647d|%99999999999f|%-2147483648s\n1 2.0 x',
        'huge-precision': '%.2147483647f|%.99999999999e|%.1000000s\n1.0 2.0 "abc"',
        'limits': '%d %d %x %o %e %g\n' + args,
        'long-text': 'x' * n + '%s\n"' + 'y' * n + '"',
        'dangling': '%\n',
        'odd-flags': '%-+ #0*d %lld %hhd %Lf %zu %n %p\n1 2 3 4 5',
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('outdir')
    parser.add_argument('--size', type=int, default=2000)
    args = parser.parse_args()
    for folder, shapes, suffix in [('rules', rules(args.size), '.clp'), ('facts', facts(args.size), '.txt'),
                                   ('formats', formats(args.size), '.txt')]:
        path = os.path.join(args.outdir, folder)
        os.makedirs(path, exist_ok=True)
        for name, text in shapes.items():
            with open(os.path.join(path, name + suffix), 'w', encoding='utf-8', newline='') as out:
                out.write(text)


if __name__ == '__main__':
    main()
