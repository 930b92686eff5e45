#!/usr/bin/env python3
"""Drives `kelpin lsp` as an editor would and times it.

    lsp_bench.py KELPIN WORKSPACE BIGFILE [QUERIES]

Starts the server under /usr/bin/time (for its peak memory), initializes it on
WORKSPACE and asks workspace/symbol at once: the server answers a query once
its index is complete, so that answer's time is the time to a complete index.
Then QUERIES more queries, documentSymbol on BIGFILE (opened in the editor),
and an edit of BIGFILE followed by documentSymbol. Prints one JSON object.
Standard library only.
"""
import json
import os
import subprocess
import sys
import tempfile
import time


class Client:
    def __init__(self, command):
        self.timing = tempfile.NamedTemporaryFile(prefix="kelpin-lsp-bench-", delete=False)
        self.process = subprocess.Popen(
            ["/usr/bin/time", "-f", "%U %S %M", "-o", self.timing.name] + command,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0
        self.log = []

    def send(self, message):
        body = json.dumps(message).encode()
        self.process.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.process.stdin.flush()

    def receive(self):
        length = None
        self.arrived = None
        while True:
            line = self.process.stdout.readline()
            if self.arrived is None:
                self.arrived = time.perf_counter()
            if not line:
                raise RuntimeError("the server closed its output")
            if line == b"\r\n":
                break
            name, _, value = line.decode().partition(":")
            if name.lower() == "content-length":
                length = int(value)
        return json.loads(self.process.stdout.read(length))

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def request(self, method, params):
        """The answer's result and the seconds from sending to its arrival."""
        self.next_id += 1
        ident = self.next_id
        start = time.perf_counter()
        self.send({"jsonrpc": "2.0", "id": ident, "method": method, "params": params})
        while True:
            message = self.receive()
            if message.get("id") == ident and "method" not in message:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                self.written = self.arrived - start  # the server's part
                return message["result"], time.perf_counter() - start
            if message.get("method") == "window/logMessage":
                self.log.append(message["params"]["message"])

    def close(self):
        self.request("shutdown", None)
        self.notify("exit", None)
        status = self.process.wait()
        with open(self.timing.name) as f:
            user, system, peak_kb = f.read().split("\n")[-2].split()
        os.unlink(self.timing.name)
        return status, int(peak_kb) / 1024, float(user) + float(system)


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def main():
    kelpin, workspace, bigfile = sys.argv[1:4]
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 20
    client = Client([kelpin, "lsp"])
    start = time.perf_counter()
    client.request("initialize", {
        "processId": os.getpid(),
        "rootUri": "file://" + os.path.abspath(workspace),
        "capabilities": {"textDocument": {"documentSymbol": {
            "hierarchicalDocumentSymbolSupport": True}}},
    })
    client.notify("initialized", {})
    first, _ = client.request("workspace/symbol", {"query": "kmalloc"})
    indexed = time.perf_counter() - start

    queries = ["kmalloc", "init", "probe", "xyzzy", "spin_lock", "ext4_", "a", "usbprb"]
    latencies = []
    for i in range(rounds):
        _, seconds = client.request("workspace/symbol", {"query": queries[i % len(queries)]})
        latencies.append(seconds)

    uri = "file://" + os.path.abspath(bigfile)
    with open(bigfile, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "c", "version": 1,
        "text": text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")}})
    symbols = []
    opened = []
    written = []
    for _ in range(5):
        symbols, seconds = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        opened.append(seconds)
        written.append(client.written)
    middle = text.count("\n") // 2
    edited = []
    for version in range(2, 7):
        client.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": version},
            "contentChanges": [{"range": {"start": {"line": middle, "character": 0},
                                          "end": {"line": middle, "character": 0}},
                                "text": "/* an edit */\n"}]})
        after, seconds = client.request("textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        edited.append(seconds)
    status, peak, cpu = client.close()
    print(json.dumps({
        "index_seconds": round(indexed, 3),
        "first_answer": len(first),
        "indexed": client.log[-1] if client.log else "",
        "query_ms_median": round(median(latencies) * 1000, 2),
        "query_ms_max": round(max(latencies) * 1000, 2),
        "document_symbols": len(symbols),
        "document_symbol_ms": round(median(opened) * 1000, 2),
        "document_symbol_answered_ms": round(median(written) * 1000, 2),
        "edit_document_symbol_ms": round(median(edited) * 1000, 2),
        "after_edit_symbols": len(after),
        "peak_mb": round(peak, 1),
        "cpu_seconds": round(cpu, 2),
        "exit_status": status,
    }))


if __name__ == "__main__":
    main()
