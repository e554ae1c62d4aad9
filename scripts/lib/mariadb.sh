# A private MariaDB server for the tests, the demo and the benchmarks: its own data folder in a
# temporary directory, 127.0.0.1 on a free port, one user with a password. Sourced; call
# velt_mariadb_start, then velt_mariadb_stop (also from an EXIT trap).
# Exports VELT_TEST_MYSQL_HOST, _PORT, _USER, _PASSWORD and VELT_TEST_MYSQL_SOCKET.

velt_mariadb_dir=""
velt_mariadb_pid=""

velt_free_port() {
    python3 - <<'PY' 2>/dev/null && return 0
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
    # No python: try ports from a random start until one is not listening.
    local p=$((20000 + RANDOM % 20000))
    while (echo >/dev/tcp/127.0.0.1/$p) 2>/dev/null; do p=$((p + 1)); done
    echo $p
}

velt_mariadb_start() {
    local user=$(id -un)
    velt_mariadb_dir=$(mktemp -d /tmp/velt-mariadb.XXXXXX)
    local data=$velt_mariadb_dir/data sock=$velt_mariadb_dir/mysqld.sock log=$velt_mariadb_dir/server.log
    if ! mariadb-install-db --no-defaults --user="$user" --datadir="$data" \
            --auth-root-authentication-method=socket --skip-test-db >"$velt_mariadb_dir/install.log" 2>&1; then
        cat "$velt_mariadb_dir/install.log" >&2
        echo "error: mariadb-install-db failed; see the log above." >&2
        return 1
    fi
    local tries port
    for tries in 1 2 3 4 5; do
        port=$(velt_free_port)
        mariadbd --no-defaults --user="$user" --datadir="$data" --socket="$sock" \
            --bind-address=127.0.0.1 --port="$port" --pid-file="$velt_mariadb_dir/mysqld.pid" \
            --log-error="$log" --skip-name-resolve --innodb-buffer-pool-size=256M \
            --innodb-log-file-size=256M --innodb-flush-log-at-trx-commit=2 \
            --max-allowed-packet=256M --skip-log-bin >>"$velt_mariadb_dir/stderr.log" 2>&1 &
        velt_mariadb_pid=$!
        local i
        for i in $(seq 1 300); do
            if mariadb --no-defaults --socket="$sock" -uroot -e 'select 1' >/dev/null 2>&1; then
                break
            fi
            kill -0 $velt_mariadb_pid 2>/dev/null || break
            sleep 0.1
        done
        if mariadb --no-defaults --socket="$sock" -uroot -e 'select 1' >/dev/null 2>&1; then
            break
        fi
        kill $velt_mariadb_pid 2>/dev/null; wait $velt_mariadb_pid 2>/dev/null
        velt_mariadb_pid=""
        # The port may have been taken between the choice and the start: try another one.
    done
    if [ -z "$velt_mariadb_pid" ]; then
        tail -n 30 "$log" >&2
        echo "error: the private MariaDB server did not start; see its log above." >&2
        return 1
    fi
    local pw="velt-$RANDOM$RANDOM"
    mariadb --no-defaults --socket="$sock" -uroot <<SQL
CREATE USER 'velt'@'127.0.0.1' IDENTIFIED BY '$pw';
CREATE USER 'velt'@'localhost' IDENTIFIED BY '$pw';
GRANT ALL PRIVILEGES ON *.* TO 'velt'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO 'velt'@'localhost' WITH GRANT OPTION;
SQL
    export VELT_TEST_MYSQL_HOST=127.0.0.1 VELT_TEST_MYSQL_PORT=$port \
        VELT_TEST_MYSQL_USER=velt VELT_TEST_MYSQL_PASSWORD=$pw VELT_TEST_MYSQL_SOCKET=$sock
    echo "Private MariaDB server on 127.0.0.1:$port (data in $velt_mariadb_dir)"
}

velt_mariadb_stop() {
    if [ -n "$velt_mariadb_pid" ]; then
        kill "$velt_mariadb_pid" 2>/dev/null
        local i
        for i in $(seq 1 100); do
            kill -0 "$velt_mariadb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$velt_mariadb_pid" 2>/dev/null
        wait "$velt_mariadb_pid" 2>/dev/null
        velt_mariadb_pid=""
    fi
    if [ -n "$velt_mariadb_dir" ]; then
        rm -rf "$velt_mariadb_dir"
        velt_mariadb_dir=""
    fi
}
