#!/bin/bash
# Starts or stops a private Dovecot (POP3) and Postfix (SMTP) on 127.0.0.1
# for the integration tests, everything inside one directory.
#
#   mailservers.sh start DIR POP3 POP3S SMTP SUBMISSION SMTPS
#   mailservers.sh stop DIR
#   mailservers.sh adduser DIR NAME PASSWORD
#
# DIR must be reachable by the users mail and postfix (not below /root).
# Users: passwords in DIR/users, maildirs in DIR/maildirs/NAME/, Postfix
# delivers to NAME@example.test through its virtual agent as uid 8.
set -eu

cmd=$1
dir=$2

fail() {
    echo "mailservers: $*" >&2
    for log in "$dir/dovecot.log" "$dir/postfix.log"; do
        [ -f "$log" ] && { echo "--- $log" >&2; tail -n 40 "$log" >&2; }
    done
    exit 1
}

wait_for() {  # file-or-port test, seconds
    i=0
    while [ $i -lt $(( $2 * 10 )) ]; do
        if eval "$1"; then return 0; fi
        sleep 0.1
        i=$((i + 1))
    done
    return 1
}

port_open() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

case "$cmd" in
adduser)
    name=$3
    pass=$4
    echo "$name:{PLAIN}$pass" >> "$dir/users"
    echo "$name@example.test $name/" >> "$dir/vmailbox"
    mkdir -p "$dir/maildirs/$name/new" "$dir/maildirs/$name/cur" "$dir/maildirs/$name/tmp"
    chown -R mail:mail "$dir/maildirs"
    ;;

stop)
    [ -f "$dir/dovecot.conf" ] && dovecot -c "$dir/dovecot.conf" stop >/dev/null 2>&1 || true
    [ -f "$dir/postfix/main.cf" ] && postfix -c "$dir/postfix" stop >/dev/null 2>&1 || true
    # Wait until both masters are gone so the directory can be removed.
    for pidfile in "$dir/run/master.pid" "$dir/queue/pid/master.pid"; do
        if [ -f "$pidfile" ]; then
            pid=$(tr -d ' ' < "$pidfile")
            wait_for "! kill -0 $pid 2>/dev/null" 10 || kill -9 "$pid" 2>/dev/null || true
        fi
    done
    ;;

start)
    pop3=$3; pop3s=$4; smtp=$5; submission=$6; smtps=$7
    chmod 755 "$dir"
    mkdir -p "$dir/run" "$dir/state" "$dir/maildirs" "$dir/postfix" "$dir/queue" "$dir/data"
    touch "$dir/users" "$dir/vmailbox"
    chown mail:mail "$dir/maildirs"
    chown postfix "$dir/data"

    # A throwaway CA and a server certificate for 127.0.0.1 / localhost.
    if [ ! -f "$dir/ca.pem" ]; then
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
            -subj "/CN=Corvina Test CA" -keyout "$dir/ca.key" -out "$dir/ca.pem" >/dev/null 2>&1 \
            || fail "openssl CA"
        openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
            -subj "/CN=localhost" -keyout "$dir/server.key" -out "$dir/server.csr" >/dev/null 2>&1 \
            || fail "openssl key"
        printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' > "$dir/san.ext"
        openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
            -CAcreateserial -days 2 -extfile "$dir/san.ext" -out "$dir/server.pem" >/dev/null 2>&1 \
            || fail "openssl sign"
        chmod 644 "$dir/server.key"
    fi

    cat > "$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
instance_name = corvina-test-$pop3
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/server.pem
ssl_key = <$dir/server.key
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_failure_delay = 0
first_valid_uid = 8
mail_location = maildir:$dir/maildirs/%u
pop3_uidl_format = %08Xu%08Xv
default_login_user = dovenull
default_internal_user = dovecot
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/users
}
userdb {
  driver = static
  args = uid=mail gid=mail home=$dir/maildirs/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $pop3s
    ssl = yes
  }
}
service auth {
  unix_listener auth-postfix {
    mode = 0666
  }
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
CONF
    dovecot -c "$dir/dovecot.conf" </dev/null >"$dir/dovecot.out" 2>&1 || fail "dovecot did not start: $(cat "$dir/dovecot.out")"
    wait_for "[ -S '$dir/run/auth-postfix' ]" 10 || fail "dovecot auth socket missing"
    wait_for "port_open $pop3" 10 || fail "dovecot pop3 port not open"

    cat > "$dir/postfix/main.cf" <<CONF
compatibility_level = 3.6
config_directory = $dir/postfix
queue_directory = $dir/queue
data_directory = $dir/data
mail_owner = postfix
setgid_group = postdrop
myhostname = mail.example.test
mydomain = example.test
mydestination =
relayhost =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
maillog_file = $dir/postfix.log
maillog_file_prefixes = $dir
smtpd_peername_lookup = no
smtp_dns_support_level = disabled
service_throttle_time = 1s
virtual_mailbox_domains = example.test
virtual_mailbox_base = $dir/maildirs
virtual_mailbox_maps = texthash:$dir/vmailbox
virtual_uid_maps = static:8
virtual_gid_maps = static:8
virtual_minimum_uid = 8
smtpd_tls_cert_file = $dir/server.pem
smtpd_tls_key_file = $dir/server.key
smtpd_tls_security_level = may
smtpd_sasl_type = dovecot
smtpd_sasl_path = $dir/run/auth-postfix
smtpd_relay_restrictions = permit_mynetworks, permit_sasl_authenticated, reject_unauth_destination
message_size_limit = 52428800
virtual_mailbox_limit = 0
smtpd_error_sleep_time = 0
smtpd_soft_error_limit = 1000
smtpd_hard_error_limit = 1000
CONF
    cat > "$dir/postfix/master.cf" <<CONF
127.0.0.1:$smtp inet n - n - - smtpd
127.0.0.1:$submission inet n - n - - smtpd
  -o smtpd_tls_security_level=encrypt
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_client_restrictions=permit_sasl_authenticated,reject
  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject
127.0.0.1:$smtps inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
  -o smtpd_sasl_auth_enable=yes
  -o smtpd_client_restrictions=permit_sasl_authenticated,reject
  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject
pickup    unix  n       -       n       60      1       pickup
cleanup   unix  n       -       n       -       0       cleanup
qmgr      unix  n       -       n       300     1       qmgr
tlsmgr    unix  -       -       n       1000?   1       tlsmgr
rewrite   unix  -       -       n       -       -       trivial-rewrite
bounce    unix  -       -       n       -       0       bounce
defer     unix  -       -       n       -       0       bounce
trace     unix  -       -       n       -       0       bounce
verify    unix  -       -       n       -       1       verify
flush     unix  n       -       n       1000?   0       flush
proxymap  unix  -       -       n       -       -       proxymap
smtp      unix  -       -       n       -       -       smtp
relay     unix  -       -       n       -       -       smtp
showq     unix  n       -       n       -       -       showq
error     unix  -       -       n       -       -       error
retry     unix  -       -       n       -       -       error
discard   unix  -       -       n       -       -       discard
local     unix  -       n       n       -       -       local
virtual   unix  -       n       n       -       -       virtual
lmtp      unix  -       -       n       -       -       lmtp
anvil     unix  -       -       n       -       1       anvil
scache    unix  -       -       n       -       1       scache
postlog   unix-dgram n  -       n       -       1       postlogd
CONF
    # Postfix delays its start when its files are younger than a second.
    touch -d '-1 minute' "$dir/postfix/main.cf" "$dir/postfix/master.cf" "$dir/vmailbox"
    postfix -c "$dir/postfix" start </dev/null >"$dir/postfix.out" 2>&1 || fail "postfix did not start: $(cat "$dir/postfix.out")"
    for port in $smtp $submission $smtps; do
        wait_for "port_open $port" 15 || fail "postfix port $port not open"
    done
    ;;
*)
    echo "usage: $0 start|stop|adduser DIR ..." >&2
    exit 2
    ;;
esac
