// Directives and conditional chains, for both readers of declarations.
//
// Every directive is read where it stands. The conditional ones keep a stack
// of chains, each with a copy of both readers' states where the chain began
// and after its first scanned branch; the states are small plain records, so
// these copies are cheap, and they are all the readers need to go back to a
// branch's starting point without reading anything twice.
#include <cstring>

#include "scanner/precise_scan.h"

namespace kelpin::precise_scan {

namespace {

using namespace clex;

bool ReadsSymbols(const Scan& scan) {
    return scan.symbolsFound != nullptr;
}

void EndBranch(Scan& scan, Chain& chain) {
    if (!chain.scanning) return;
    if (!chain.firstDone) {
        chain.functionsAfterFirst = scan.functions;
        if (ReadsSymbols(scan)) chain.symbolsAfterFirst = scan.symbols;
        chain.firstDone = true;
        chain.openEndAfterFirst = 0;
        if (const PreciseFunction* open = OpenRecord(scan, chain.functionsAtIf))
            chain.openEndAfterFirst = open->end;
        return;
    }
    // A later branch: a function it opened and left open is the first
    // branch's, written again.
    const FunctionState& now = scan.functions;
    if (OpenRecord(scan, now) != nullptr &&
        static_cast<std::size_t>(now.body.record) >= chain.recordsAtBranch)
        DropFrom(scan, static_cast<std::size_t>(now.body.record));
}

void StartBranch(Scan& scan, Chain& chain) {
    chain.scanning = true;
    chain.recordsAtBranch = scan.functionsFound->size();
    if (!chain.firstDone) return; // the states are where the chain began
    scan.functions = chain.functionsAtIf;
    scan.functions.tableCandidate = -1; // the first branch decided that
    if (PreciseFunction* open = OpenRecord(scan, scan.functions)) open->end = 0;
    if (ReadsSymbols(scan)) scan.symbols = chain.symbolsAtIf;
}

// Handles a directive of a chain that starts a branch or ends the chain:
// false when that branch is to be skipped.
bool ChainDirective(Scan& scan, Directive directive, bool zero) {
    if (directive == Directive::Endif) {
        if (scan.deeperChains > 0) {
            --scan.deeperChains;
            return true;
        }
        if (scan.chainCount == 0) return true;
        Chain& chain = scan.chains[static_cast<std::size_t>(scan.chainCount - 1)];
        EndBranch(scan, chain);
        if (chain.firstDone) {
            scan.functions = chain.functionsAfterFirst;
            if (PreciseFunction* open = OpenRecord(scan, chain.functionsAtIf))
                open->end = chain.openEndAfterFirst;
            if (ReadsSymbols(scan)) scan.symbols = chain.symbolsAfterFirst;
        }
        --scan.chainCount;
        return true;
    }
    // #elif or #else
    if (scan.deeperChains > 0 || scan.chainCount == 0) return !zero;
    Chain& chain = scan.chains[static_cast<std::size_t>(scan.chainCount - 1)];
    EndBranch(scan, chain);
    chain.scanning = false;
    if (zero) return false;
    StartBranch(scan, chain);
    return true;
}

// After "#define": the macro's name and the end of its line, for the symbol
// reader; null when it is no definition.
const Byte* ReadDefinition(Scan& scan, const Byte* p) {
    const Byte* end = scan.end;
    const Byte* q = SkipDirectiveBlanks(p, end);
    if (end - q <= 6 || std::memcmp(q, "define", 6) != 0 || (Classes[q[6]] & Word)) return nullptr;
    const Byte* name = SkipDirectiveBlanks(q + 6, end);
    const Byte* after = name;
    while (after < end && (Classes[*after] & Word))
        ++after;
    const Byte* next = SkipLine(after, end);
    if (after > name && !(Classes[*name] & Digit)) SymbolDefinition(scan, name, after, next);
    return next;
}

// The directive and its line, and for a conditional one whatever group it
// leaves unscanned.
const Byte* ReadDirectiveAndGroups(Scan& scan, const Byte* p) {
    if (ReadsSymbols(scan)) {
        if (const Byte* next = ReadDefinition(scan, p)) return next;
    }
    const Byte* end = scan.end;
    Directive directive = ReadDirective(p, end);
    bool zero =
        (directive == Directive::If || directive == Directive::Elif) && IsZeroCondition(p, end);
    p = SkipLine(p, end);
    bool scanning = true;
    switch (directive) {
    case Directive::Other: return p;
    case Directive::If:
    case Directive::IfDef:
        if (scan.chainCount < PreciseMaxNesting) {
            if (static_cast<std::size_t>(scan.chainCount) == scan.chains.size())
                scan.chains.emplace_back();
            Chain& chain = scan.chains[static_cast<std::size_t>(scan.chainCount++)];
            chain.functionsAtIf = scan.functions;
            if (ReadsSymbols(scan)) chain.symbolsAtIf = scan.symbols;
            chain.firstDone = false;
            chain.scanning = !zero;
            chain.recordsAtBranch = scan.functionsFound->size();
            chain.openEndAfterFirst = 0;
        } else {
            ++scan.deeperChains;
        }
        scanning = !zero;
        break;
    case Directive::Elif:
    case Directive::ElifDef:
    case Directive::Else:
    case Directive::Endif: scanning = ChainDirective(scan, directive, zero); break;
    }
    while (!scanning) {
        Directive next = SkipGroup(p, end, &zero);
        if (next == Directive::Other) return end;
        scanning = ChainDirective(scan, next, zero);
    }
    return p;
}

} // namespace

const Byte* ReadDirectiveAt(Scan& scan, const Byte* p) {
    FunctionDirectiveStarts(scan, static_cast<std::size_t>(p - 1 - scan.begin));
    p = ReadDirectiveAndGroups(scan, p);
    // Whichever state holds now, its declaration's text goes on here.
    FunctionDirectiveEnded(scan, static_cast<std::size_t>(p - scan.begin));
    return p;
}

void EndOpenChains(Scan& scan) {
    while (scan.chainCount > 0)
        ChainDirective(scan, Directive::Endif, false);
}

} // namespace kelpin::precise_scan
