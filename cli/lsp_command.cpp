// kelpin lsp: the language server, on standard input and output.
#include <unistd.h>

#include "cli.h"
#include "lsp/server.h"

namespace kelpin::cli {

namespace {

// The command as its help names and tells it.
constexpr CommandText Command = {
    "lsp", "Serve symbols, navigation, comment blocks and prototype headers to any editor "
           "(a language server on standard input and output)"};

int RunLsp(const lsp::ServerOptions& options) {
    if (::isatty(STDIN_FILENO))
        PrintError("lsp: waiting for an editor's messages on standard input (see kelpin lsp "
                   "--help); Ctrl-D ends");
    return lsp::RunServer(STDIN_FILENO, STDOUT_FILENO, options);
}

} // namespace

void AddLspCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<lsp::ServerOptions>(commands, app, Command, RunLsp);
    command
        ->add_option("-j,--jobs", options.jobs,
                     "threads that index the workspace (default: one for each processor)")
        ->option_text("N")
        ->check(CLI::NonNegativeNumber);
    // Editors' clients often pass it; standard input and output are the
    // only transport.
    command->add_flag("--stdio", options.stdio,
                      "talk on standard input and output (the default and only way)");
    command->footer(
        "The editor starts it and talks JSON-RPC (Content-Length framing) on its standard\n"
        "input and output. At start it indexes every .c and .h file of the workspace\n"
        "folders in the background: the symbols kelpin symbols lists by default. It offers\n"
        "an outline of each document (members and enumerators under their struct, union or\n"
        "enum), workspace symbols (functions, types, variables and enumerators), definition\n"
        "of any kind, references, highlights, hover (a function's comment block, the lines\n"
        "that define a macro, type or variable), and code actions: Add/Update function\n"
        "comment, Add/Update module comment, Write prototypes header. Exit status: 0 after\n"
        "shutdown and exit, 1 otherwise.\n"
        "\n"
        "Neovim 0.8+:  vim.lsp.start({ name = 'kelpin', cmd = { 'kelpin', 'lsp' },\n"
        "                             root_dir = vim.fn.getcwd() })\n"
        "Helix (languages.toml):  [language-server.kelpin]\n"
        "                         command = \"kelpin\"\n"
        "                         args = [\"lsp\"]\n"
        "Emacs:   (add-to-list 'eglot-server-programs '(c-mode \"kelpin\" \"lsp\"))");
}

} // namespace kelpin::cli
