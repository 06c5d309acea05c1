#!/usr/bin/env bash
# Runs the POSIX service tests once more inside a private network namespace whose
# net.ipv4.ping_group_range is RANGE: "0 2147483647" grants ICMP datagram sockets to everyone,
# so that the answering path of the echo stand-in is exercised even where the host's own
# setting refuses them; "1 0" refuses them, so that the raw-socket path is exercised where the
# host grants them. Skips (77) where no namespace can be made.
# Usage: in_network_namespace.sh RANGE TEST_PROGRAM
set -u
range=$1
test_program=$2
unshare --net true 2>/dev/null || exit 77
exec unshare --net bash -c '
  ip link set lo up 2>/dev/null || exit 77
  echo "$1" > /proc/sys/net/ipv4/ping_group_range 2>/dev/null || exit 77
  exec "$0" --gtest_brief=1 --gtest_filter="PosixServicesTest.*"' "$test_program" "$range"
