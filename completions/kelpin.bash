# bash completion for kelpin: subcommands, options and file names.
#
# The words come from the --help of the kelpin being completed, so they are
# always the installed program's own: each command's subcommands and
# options, which options take a value, and the name of each value and
# argument. A FILE or PATH, and an option's OUT or DOCPATH, complete as file
# names; a NAME argument (a version module) as the names of the .c files
# without ".c"; any other value (a line number, a field's text, A.B.C.D) as
# nothing. An argument the help shows as repeated ("PATH TEXT ...") takes
# every word from its place on.

# _kelpin_words KELPIN [COMMAND...]
# The words of that command's help, one a line:
#   sub NAME            a subcommand
#   opt NAME [VALUE]    an option, and the name of its value if it takes one
#   arg NAME [...]      a positional argument, in order; "..." when repeated
_kelpin_words() {
    local kelpin=$1 line section="" names value name
    shift
    while IFS= read -r line; do
        case $line in
        Subcommands:) section=sub ;;
        Options:) section=opt ;;
        Positionals:) section=arg ;;
        "") section="" ;;
        "  "[!\ ]*) # an entry; its continuation lines are indented further
            read -r names value _ <<<"$line"
            case $section in
            sub) echo "sub $names" ;;
            arg) [[ $line == *" ... "* ]] && echo "arg $names ..." || echo "arg $names" ;;
            opt)
                [[ $value =~ ^[A-Z][A-Z0-9_:]*$ ]] || value=""
                for name in ${names//,/ }; do
                    echo "opt $name${value:+ $value}"
                done
                ;;
            esac
            ;;
        esac
    done < <("$kelpin" "$@" --help 2>/dev/null)
}

# Sets COMPREPLY to the file names, or the module names, that start with $1.
_kelpin_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}
_kelpin_modules() {
    compopt -o filenames 2>/dev/null
    local name
    COMPREPLY=()
    while IFS= read -r name; do
        COMPREPLY+=("${name%.c}")
    done < <(compgen -f -X '!*.c' -- "$1")
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$1")
}
# Completes $3 as the value of an option (opt) or as an argument (arg) that
# the help names $2.
_kelpin_value() {
    case $1:$2 in
    *:FILE | arg:PATH | opt:OUT | opt:DOCPATH) _kelpin_files "$3" ;;
    arg:NAME) _kelpin_modules "$3" ;;
    opt:ADDRESS) mapfile -t COMPREPLY < <(compgen -W "pattern line" -- "$3") ;;
    opt:ORDER) mapfile -t COMPREPLY < <(compgen -W "yes no foldcase" -- "$3") ;;
    opt:RELATIVE) mapfile -t COMPREPLY < <(compgen -W "yes no" -- "$3") ;;
    opt:FORMAT) mapfile -t COMPREPLY < <(compgen -W "ctags etags" -- "$3") ;;
    *) COMPREPLY=() ;;
    esac
}

_kelpin() {
    local kelpin=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]}
    local -a path=()
    local words word i kind name value takes="" args=0
    words=$(_kelpin_words "$kelpin")
    # The words before the cursor: a subcommand deepens the command, an
    # option that takes a value takes the next word, the rest are arguments.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -n $takes ]]; then
            takes=""
        elif [[ $word == -* ]]; then
            while read -r kind name value; do
                [[ $kind == opt && $name == "$word" ]] && takes=$value
            done <<<"$words"
        elif [[ $args -eq 0 ]] && grep -qxF "sub $word" <<<"$words"; then
            path+=("$word")
            words=$(_kelpin_words "$kelpin" "${path[@]}")
        else
            args=$((args + 1))
        fi
    done

    if [[ -n $takes ]]; then
        _kelpin_value opt "$takes" "$cur"
    elif [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(sed -n 's/^opt \([^ ]*\).*/\1/p' <<<"$words")" -- "$cur")
    elif grep -q '^sub ' <<<"$words"; then
        mapfile -t COMPREPLY < <(compgen -W "$(sed -n 's/^sub //p' <<<"$words")" -- "$cur")
    else
        # The argument at this place, or the repeated one that runs to the end.
        _kelpin_value arg "$(awk -v n=$((args + 1)) '$1 == "arg" && (++i == n || (i < n && $3 == "...")) { name = $2 }
            END { print name }' <<<"$words")" "$cur"
    fi
}

complete -F _kelpin kelpin
