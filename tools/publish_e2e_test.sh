#!/bin/bash
# The release in one command, with a real signer: channel_stamp publish with a
# throw-away key (openssl, as a PKCS#12 file and a password file) and
# osslsigncode, on a small PE image of its own:
#   - a manifest whose third row can never pass its header self-test is
#     refused, and a signer that fails (its time-stamp server refuses the
#     connection) publishes nothing and leaves no staging folder;
#   - three signed copies: each signature verifies, SHA256SUMS checks with
#     sha256sum, and audit agrees with the report;
#   - published again without a key, the release is replaced by unsigned
#     copies, and the report and the summary say so.
#
# Usage: publish_e2e_test.sh CHANNEL_STAMP   (the native build's; ctest passes it)
set -uo pipefail
stamp=$(realpath "$1")
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/signing.sh"
source "$root/tests/support/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# A 1 KiB PE32 image, enough to be stamped and signed.
python3 -c '
import struct
b = bytearray(0x400); b[0x200:] = b"\xcc" * 0x200; b[0:2] = b"MZ"
struct.pack_into("<I", b, 0x3C, 0x80); b[0x80:0x84] = b"PE\0\0"
struct.pack_into("<HxxxxxxxxxxxxxxH", b, 0x84, 0x14C, 0xE0)
struct.pack_into("<H", b, 0x98, 0x10B); struct.pack_into("<I", b, 0x98 + 92, 16)
open("launcher.exe", "wb").write(b)'
make_test_certificate "$work"
echo "throw-away" >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out key.p12 -passout file:password.txt
check "openssl made a PKCS#12 key" yes "$([ -s key.p12 ] && echo yes)"
signing=(--pkcs12 key.p12 --password-file password.txt --ca-file cert.pem)

# MiniType 1 carries no sub-channel on the command line: that row can never pass.
printf 'output,channel,sub-channel,mini-type,app-id\na.exe,1101010001,,,2001\nb_cid42.exe,1101010002,,,2001\nc.exe,77,5,1,9\n' >refused.csv
output=$("$stamp" publish refused.csv --template launcher.exe --out release "${signing[@]}" 2>&1)
check "a row that can never pass its self-test is refused" 16 $?
check "the refusal names the row" 1 "$(grep -c '^channel_stamp: row 3 (c.exe) can never pass its self-test' <<<"$output")"
check "nothing is published" "" "$(ls -A | grep release)"
printf 'output,channel,sub-channel,app-id,silent\na.exe,1101010001,,2001,no\nb_cid42.exe,1101010002,,2001,yes\nc.exe,77,5,9,no\n' >manifest.csv
# A time-stamp server that refuses the connection fails the signing of row 1.
output=$("$stamp" publish manifest.csv --template launcher.exe --out release "${signing[@]}" --timestamp http://127.0.0.1:9/ 2>&1)
check "a signer that fails fails the publish" 23 $?
echo "$output" | tail -3 | sed 's/^/      /'
check "the message names the row and the step" 1 "$(grep -c '^channel_stamp: row 1 (a.exe): signing failed' <<<"$output")"
check "nothing is published and the staging folder is removed" "" "$(ls -A | grep release)"

output=$("$stamp" publish manifest.csv --template launcher.exe --out release "${signing[@]}" 2>&1)
check "publish signs three copies" 0 $?
echo "$output" | sed 's/^/      /'
for copy in a.exe b_cid42.exe c.exe; do
  verify_copy "$work" "release/$copy"
  check "osslsigncode verify passes on $copy" 0 $?
done
check "SHA256SUMS checks" 0 "$(cd release && sha256sum --quiet -c SHA256SUMS >/dev/null; echo $?)"
check "the report says the copies are signed" 4 "$(grep -c '"signed": true' release/publish-report.json)"
output=$("$stamp" audit release/publish-report.json --dir release --template launcher.exe 2>&1)
check "audit agrees with the report" 0 $?
check "every copy agrees, signed" 3 "$(grep -c 'agrees, signed' <<<"$output")"

output=$("$stamp" publish manifest.csv --template launcher.exe --out release 2>&1)
check "publish without a key replaces the release" 0 $?
check "and says the copies are not signed" 1 "$(grep -c 'NOT SIGNED (no key was given)' <<<"$output")"
check "as does the report" 4 "$(grep -c '"signed": false' release/publish-report.json)"
output=$("$stamp" audit release/publish-report.json --dir release 2>&1)
check "audit agrees with the unsigned report" 0 $?
check "no staging folder is left" "release" "$(ls -A | grep release)"

checks_summary
