# Authenticode signing of stamped copies with a throw-away certificate, for
# the signing test and the demo (sourced; needs openssl and osslsigncode).
# A real release signs with the publisher's certificate instead; the commands
# are the same (README, "Publishing a batch").

# make_test_certificate DIR: a self-signed code-signing certificate valid for
# two days, DIR/cert.pem, and its key, DIR/key.pem.
make_test_certificate() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Channel launcher test signer" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$1/key.pem" -out "$1/cert.pem" >/dev/null 2>&1
}

# sign_copy DIR FILE: signs FILE in place with the certificate in DIR.
sign_copy() {
  osslsigncode sign -certs "$1/cert.pem" -key "$1/key.pem" -n "Ludora channel launcher" \
    -in "$2" -out "$2.signed" >/dev/null && mv "$2.signed" "$2" || { rm -f "$2.signed"; return 1; }
}

# verify_copy DIR FILE: whether FILE's signature verifies against the
# certificate in DIR (self-signed, so it is its own CA).
verify_copy() {
  osslsigncode verify -CAfile "$1/cert.pem" -in "$2" >/dev/null 2>&1
}
