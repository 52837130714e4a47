#!/bin/bash
# Publishing a batch for real, under Wine: a throw-away certificate (openssl),
# a batch stamped by channel_stamp.exe, each copy signed by osslsigncode, then
#   - osslsigncode verify passes, channel_stamp show says "signed", audit agrees;
#   - a signed copy passes the launcher's own header self-test;
#   - stamp refuses a signed copy (exit 19) and leaves it as it was;
#   - stamp --force changes it: the signature no longer verifies and audit
#     names the copy and the field (exit 22);
#   - publish without a key releases the same three copies unsigned, and audit
#     agrees with its report; with a "signer" that fails (channel_stamp.exe
#     itself, started by its full path with a space in it) nothing is published.
#
# Usage: signed_batch_e2e_test.sh WINE_RUN BUILD_DIR   (ctest passes both;
# WINE_RUN is the build tree's wine-run.sh)
set -uo pipefail
wine_run=$1
build=$(cd "$2" && pwd)
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/signing.sh"

launcher="$build/launch_flow/channel_launcher.exe"
work=$(mktemp -d "$build/tools/signed-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT

source "$root/tests/support/checks.sh"
# The Windows form of a path under the build tree (Wine's Z: drive).
windows() { echo "Z:${1//\//\\}"; }
# stamp_tool ARGS...: channel_stamp.exe under Wine; its output in $output, its exit code returned.
stamp_tool() {
  output=$("$wine_run" "$build/tools/channel_stamp.exe" "$@" 2>&1)
}

make_test_certificate "$work"
check "openssl made a certificate and a key" yes "$([ -s "$work/cert.pem" ] && [ -s "$work/key.pem" ] && echo yes)"

mkdir "$work/copies"
cat >"$work/manifest.csv" <<'CSV'
Output,channelId,sub_channel,app-id,silent
ludora_setup.exe,1101010001,,2001,no
partner.exe,1101010002,7,2001,yes
setup_cid42.exe,77,,9,no
CSV
copies=(ludora_setup.exe partner.exe setup_cid42.exe)
stamp_tool batch "$(windows "$work/manifest.csv")" --template "$(windows "$launcher")" --out "$(windows "$work/copies")"
check "batch stamps three copies" 0 $?

for copy in "${copies[@]}"; do
  sign_copy "$work" "$work/copies/$copy"
  check "osslsigncode signs $copy" 0 $?
  verify_copy "$work" "$work/copies/$copy"
  check "osslsigncode verify passes on $copy" 0 $?
  stamp_tool show "$(windows "$work/copies/$copy")"
  check "show lists $copy as signed" ", signed" "$(grep -oE 'PE32\+?, signed' <<<"$output" | grep -o ', signed')"
done

stamp_tool audit "$(windows "$work/manifest.csv")" --dir "$(windows "$work/copies")" --template "$(windows "$launcher")"
check "audit of the signed batch exits 0" 0 $?
echo "$output" | sed 's/^/      /'
check "audit finds every copy agreeing and signed" 3 "$(grep -c 'agrees, signed' <<<"$output")"

# The self-test arguments that show prints, given to the signed copy itself.
stamp_tool show "$(windows "$work/copies/partner.exe")"
read -r -a self_test <<<"$(sed -n 's/^self-test arguments *//p' <<<"$output" | tr -d '\r')"
"$wine_run" "$work/copies/partner.exe" "${self_test[@]}" >/dev/null 2>&1
check "the signed copy passes its header self-test (${self_test[*]})" 0 $?
"$wine_run" "$work/copies/partner.exe" "${self_test[@]/#AppID=*/AppID=2002}" >/dev/null 2>&1
check "and ends with appId's code when the command line says AppID=2002" 4 $?

signed_copy="$work/copies/partner.exe"
cp "$signed_copy" "$work/before.exe"
stamp_tool stamp "$(windows "$signed_copy")" --channel 5
check "stamp refuses the signed copy" 19 $?
check "the refused copy is unchanged" yes "$(cmp -s "$signed_copy" "$work/before.exe" && echo yes)"
verify_copy "$work" "$signed_copy"
check "its signature still verifies" 0 $?

stamp_tool stamp "$(windows "$signed_copy")" --channel 5 --force
check "stamp --force changes the signed copy" 0 $?
check "osslsigncode verify fails on the forced copy" failed \
  "$(verify_copy "$work" "$signed_copy" && echo passed || echo failed)"
stamp_tool audit "$(windows "$work/manifest.csv")" --dir "$(windows "$work/copies")" --template "$(windows "$launcher")"
check "audit exits 22" 22 $?
echo "$output" | sed 's/^/      /'
check "audit names the copy and each field at fault" \
  "  partner.exe: channelId: the copy carries 5, the manifest says 1101010002|  partner.exe: subChannelId: the copy carries 0, the manifest says 7|  partner.exe: appId: the copy carries 0, the manifest says 2001|  partner.exe: silent: the copy carries no, the manifest says yes" \
  "$(grep '^  partner.exe: ' <<<"$output" | tr -d '\r' | paste -sd '|')"

# The release in one command, unsigned, by channel_stamp.exe.
stamp_tool publish "$(windows "$work/manifest.csv")" --template "$(windows "$launcher")" --out "$(windows "$work/release")"
check "publish without a key exits 0" 0 $?
check "and says the copies are not signed" 1 "$(grep -c 'NOT SIGNED (no key was given)' <<<"$output")"
check "SHA256SUMS checks" 0 "$(cd "$work/release" && sha256sum --quiet -c SHA256SUMS >/dev/null; echo $?)"
stamp_tool audit "$(windows "$work/release/publish-report.json")" --dir "$(windows "$work/release")"
check "audit agrees with the publish report" 0 $?
mkdir "$work/signer dir" && cp "$build/tools/channel_stamp.exe" "$work/signer dir/signer.exe"
stamp_tool publish "$(windows "$work/manifest.csv")" --template "$(windows "$launcher")" --out "$(windows "$work/failed")" \
  --pkcs12 "$(windows "$work/cert.pem")" --osslsigncode "$(windows "$work/signer dir/signer.exe")"
check "a signer that fails fails the publish" 23 $?
check "what it printed is told" 1 "$(grep -c '^  signer: channel_stamp: unknown command sign' <<<"$output")"
check "and nothing is published" "" "$(ls "$work" | grep failed)"

checks_summary
