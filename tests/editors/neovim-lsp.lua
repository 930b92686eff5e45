-- kelpin lsp under Neovim's own client: symbols, definition, hover and a
-- code action applied to the buffer. Exits 0 when every check holds.
local kelpin = os.getenv("KELPIN")
local work = os.getenv("WORK")
local failures = 0

local function check(ok, what, detail)
  if ok then
    io.stdout:write("ok: " .. what .. "\n")
  else
    failures = failures + 1
    io.stdout:write("FAIL: " .. what .. (detail and (": " .. vim.inspect(detail)) or "") .. "\n")
  end
end

local function run()
  vim.cmd("edit " .. work .. "/src/main.c")
  local buf = vim.api.nvim_get_current_buf()
  local ready = false
  local id = vim.lsp.start_client({
    name = "kelpin",
    cmd = { kelpin, "lsp" },
    root_dir = work,
    workspace_folders = { { uri = vim.uri_from_fname(work), name = "work" } },
    on_init = function() ready = true end,
  })
  check(id ~= nil, "the client starts kelpin lsp")
  vim.lsp.buf_attach_client(buf, id)
  check(vim.wait(10000, function() return ready end, 20), "initialize is answered")
  local client = vim.lsp.get_client_by_id(id)
  local uri = vim.uri_from_bufnr(buf)
  local function ask(method, params)
    local answer, err = client.request_sync(method, params, 10000, buf)
    if not answer then return nil, err end
    return answer.result, answer.err
  end
  -- The didOpen is sent once initialized; give it a moment.
  vim.wait(200)

  local symbols = ask("textDocument/documentSymbol", { textDocument = { uri = uri } }) or {}
  local names = {}
  for _, s in ipairs(symbols) do table.insert(names, s.name) end
  check(table.concat(names, ",") == "helper,main", "document symbols", names)
  -- UTF-16 columns: the name stands after "/* ünïcode 😀 */ static int ".
  local helper = symbols[1] or {}
  check(helper.selectionRange and helper.selectionRange.start.line == 2 and
        helper.selectionRange.start.character == 28, "the name's range in UTF-16", helper.selectionRange)
  check(helper.range and helper.range.start.line == 2 and helper.range["end"].line == 5,
        "the function's full range", helper.range)

  local found = ask("workspace/symbol", { query = "libadd" }) or {}
  check(#found == 1 and found[1].name == "lib_add" and found[1].location.uri:match("/src/lib%.c$"),
        "workspace symbols (subsequence)", found)

  local call = { textDocument = { uri = uri }, position = { line = 4, character = 13 } }
  local definition = ask("textDocument/definition", call) or {}
  check(#definition == 1 and definition[1].uri:match("/src/lib%.c$") and
        definition[1].range.start.line == 12, "definition in another file", definition)

  local hover = ask("textDocument/hover", call) or {}
  local text = hover.contents and hover.contents.value or ""
  check(text:find("int lib_add(int a, int b)", 1, true) and text:find("Adds two numbers.", 1, true),
        "hover shows the declaration and the comment block", text)

  local actions = ask("textDocument/codeAction", {
    textDocument = { uri = uri },
    range = { start = { line = 3, character = 0 }, ["end"] = { line = 3, character = 0 } },
    context = { diagnostics = {} },
  }) or {}
  local add
  for _, a in ipairs(actions) do
    if a.title == "Add function comment" then add = a end
  end
  check(add ~= nil, "a function comment is offered inside the function", actions)
  if add then
    vim.lsp.util.apply_workspace_edit(add.edit, client.offset_encoding)
    local lines = vim.api.nvim_buf_get_lines(buf, 0, -1, false)
    local expected = vim.fn.readfile(work .. "/expected.c")
    check(vim.deep_equal(lines, expected), "the applied block is the one kelpin comment writes",
          { got = lines, expected = expected })
    vim.cmd("write")
    local shown = vim.fn.system({ kelpin, "comment", "function", work .. "/src/main.c", "--line", "14", "--show" })
    check(shown:find("found: yes", 1, true), "kelpin comment reads the block back", shown)
  end

  ask("shutdown", nil)
  client.notify("exit", nil)
end

local ok, err = pcall(run)
check(ok, "the script ran through", err)
io.stdout:flush()
vim.cmd(failures == 0 and "qall!" or "cquit!")
