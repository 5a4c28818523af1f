# Reading and writing the program's settings file from the shell scripts.
#   source scripts/ini.sh

# ini_get <file> <section> <key>: the key's value; empty when it is missing.
ini_get() {
    [ -f "$1" ] || return 0
    S="[$2]" K="$3" awk '
        function trim(t) { gsub(/^[ \t\r]+|[ \t\r]+$/, "", t); return t }
        /^[ \t]*\[/ { inside = trim($0) == ENVIRON["S"]; next }
        inside && index($0, "=") && trim(substr($0, 1, index($0, "=") - 1)) == ENVIRON["K"] {
            print trim(substr($0, index($0, "=") + 1))
            exit
        }' "$1"
}

# ini_set <file> <section> <key> <value>: sets the key, adding the key, the
# section or the file when missing, and keeping everything else.
ini_set() {
    local file="$1"
    [ -f "$file" ] || : >"$file"
    S="[$2]" K="$3" V="$4" awk '
        function trim(t) { gsub(/^[ \t\r]+|[ \t\r]+$/, "", t); return t }
        function put() { if (!done) print ENVIRON["K"] "=" ENVIRON["V"]; done = 1 }
        /^[ \t]*\[/ { if (inside) put(); inside = trim($0) == ENVIRON["S"] }
        inside && index($0, "=") && trim(substr($0, 1, index($0, "=") - 1)) == ENVIRON["K"] {
            put()
            next
        }
        { print }
        END { if (!done) { if (!inside) print ENVIRON["S"]; put() } }' "$file" >"$file.new"
    mv "$file.new" "$file"
}

# own_feed <build dir>: the feed the user has set for the program built there
# (its settings' RSS when that is not the built-in one); empty when none is.
own_feed() {
    local rss builtin
    rss=$(ini_get "$1/src/ZURav3.ini" TOV RSS)
    builtin=$(sed -n 's/^ZURAV3_DEFAULT_FEED_URL:STRING=//p' "$1/CMakeCache.txt")
    if [ "$rss" != "$builtin" ]; then
        echo "$rss"
    fi
}
