# Turns a program's --help text into man page source: the usage line becomes the synopsis (or,
# for one command of the program, a subsection heading), the description follows it, each
# "Heading:" list becomes tagged paragraphs, and the closing text goes to the NOTES.
# Variables: name (the program), command (the command whose help this is; "" for the program's),
# notes (the file the NOTES section is written to, so that it can close the page).

# Roff takes backslashes, hyphens and a leading dot or quote as markup.
function esc(s) {
    gsub(/\\/, "\\\\e", s)
    gsub(/-/, "\\\\-", s)
    sub(/^[.\047]/, "\\\\\\&&", s)
    return s
}

function flush() {
    if (term != "") {
        print ".TP"
        print "\\fB" esc(term) "\\fR"
        if (text != "") print esc(text)
    }
    term = ""
    text = ""
}

BEGIN { part = "head" }

/^Usage: / {
    usage = substr($0, 8)
    if (command == "") {
        sub("^" name " *", "", usage)
        print ".SH SYNOPSIS"
        print ".B " esc(name)
        print esc(usage)
        print ".SH DESCRIPTION"
    } else {
        print ".SS \"" esc(usage) "\""
    }
    print esc(head)
    part = "body"
    next
}

part == "head" { head = head (head == "" ? "" : " ") $0; next }

/^[A-Z][A-Za-z ]*:$/ {
    flush()
    heading = substr($0, 1, length($0) - 1)
    if (command == "") print ".SH " (heading == "Subcommands" ? "COMMANDS" : toupper(heading))
    part = "list"
    next
}

# "  term   text", or "  term" with the text on the lines below.
part == "list" && /^  [^ ]/ {
    flush()
    line = substr($0, 3)
    if (match(line, /   */)) {
        term = substr(line, 1, RSTART - 1)
        text = substr(line, RSTART + RLENGTH)
    } else {
        term = line
    }
    gsub(/,-/, ", -", term)
    next
}

part == "list" && /^   / {
    t = $0
    sub(/^ */, "", t)
    text = text (text == "" ? "" : " ") t
    next
}

/^$/ {
    flush()
    if (part == "list") part = "foot"
    next
}

# The closing text: once, from the program's own help.
part == "foot" && command == "" {
    if (!noted) print ".SH NOTES" > notes
    noted = 1
    print esc($0) > notes
}

END { flush() }
