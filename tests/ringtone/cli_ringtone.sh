#!/usr/bin/env bash
# The ringtone commands of zorvattone-cli end to end: pdu, preview, package, unpack.
# Usage: cli_ringtone.sh PATH/TO/zorvattone-cli
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir "$work/tmp" "$work/out"
cd "$work"
passed=0
failed=0

check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        failed=$((failed + 1))
    fi
}
hex() { od -An -v -tx1 "$1" | tr -d ' \n' | tr a-f A-F; }

printf 'MyTone:d=4,o=5,b=120:8c5,4p,8d5,' >song.txt
long="T:d=4,o=5,b=120:$(printf '8c5,%.0s' $(seq 90))"

check "pdu prints the 17-octet message" \
    test "$(printf 'MyTone:d=4,o=5,b=120:' | "$cli" pdu --temp tmp)" = "024A3A5935E551BDB994040006C8E48000"
check "pdu --rtttl adds the rebuilt text" \
    test "$("$cli" pdu --temp tmp --rtttl --name Other song.txt | tail -n 1)" = "Other:d=4,o=5,b=120:8c5,4p,8d5,"
"$cli" pdu --temp tmp >/dev/null 2>err.txt <<<"$long"
check "a long song without --truncate fails" test $? -eq 1
check "the question reaches stderr" grep -qx "Tone Trancate: Ringtone is too long, trancate ?" err.txt
"$cli" pdu --temp tmp --truncate >/dev/null 2>&1 <<<"$long"
check "a long song with --truncate is cut" test $? -eq 0
printf 'T:o=5,d=4,b=120:c,' | "$cli" pdu --temp tmp >/dev/null 2>err.txt
check "a header fault is a failed job" test $? -eq 1
check "the header message is shown" grep -qx \
    "Format Error: RTTTL does not contain default duration. Refer to RTTTL.txt about ringtone format." err.txt
printf 'T:d=4,o=5,b=120:8c9, 8c5,,3d5\r\n' | "$cli" pdu --temp tmp --rtttl >out.txt 2>err.txt
check "a dropped note does not fail the command" test $? -eq 0
check "the kept note is in the rebuilt text" test "$(tail -n 1 out.txt)" = "T:d=4,o=5,b=120:8c5,"
check "each dropped note is warned about" test "$(cat err.txt)" = 'zorvattone-cli: warning: dropped "8c9": octave 9 is outside 4-7
zorvattone-cli: warning: dropped "3d5": length 3 is not 1, 2, 4, 8, 16 or 32
zorvattone-cli: 13 of 130 octets'
"$cli" pdu song.txt >/dev/null 2>err.txt
check "an empty profile has no temporary directory" grep -qx \
    "ERROR: Invalid temporary directory. Please setup first." err.txt
"$cli" pdu --temp tmp --bogus song.txt >/dev/null 2>&1
check "an unknown option is bad usage" test $? -eq 2

"$cli" preview --temp tmp song.txt -o out/p.mid
check "preview writes the 52-byte file" test "$(hex out/p.mid)" = \
    "4D546864000000060000000100604D54726B0000001E00FF510307A12000C03900903C7F30803C7F60903E7F30803E7F00FF2F00"
"$cli" preview --temp tmp --program 0 --division 480 song.txt -o out/p.mid
check "preview takes program and division" test "$(hex out/p.mid | cut -c25-28,63-64)" = "01E000"
"$cli" preview --temp tmp --program 128 song.txt -o out/p.mid 2>/dev/null
check "a program above 127 is bad usage" test $? -eq 2

"$cli" package --temp tmp song.txt -o out/pkg
check "package succeeds" test $? -eq 0
check "package leaves no zorvat.mid or zorvat.pdu" test ! -e tmp/zorvat.mid -a ! -e tmp/zorvat.pdu
check "unpack splits the package" "$cli" unpack out/pkg -d out
check "the MIDI part is the preview" test "$(hex out/zorvat.mid | cut -c1-8)" = "4D546864"
check "the hex part is the message" test "$(cat out/zorvat.pdu)" = "$("$cli" pdu --temp tmp song.txt)"
head -c 30 out/pkg >out/cut
"$cli" unpack out/cut -d out 2>err.txt
check "a damaged package is a failed job" test $? -eq 1
check "the fault is named" grep -q "does not decompress" err.txt
"$cli" package --temp tmp song.txt -o missing/pkg 2>err.txt
check "an unwritable package is a failed job" test $? -eq 1
check "the package file is named" grep -q 'Cannot write the file "missing/pkg"' err.txt

echo "$passed passed, $failed failed"
test "$failed" -eq 0
