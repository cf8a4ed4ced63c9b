# Sourced by the live capture tests and the capture benchmark (bash): a veth pair whose
# far end sits in a network namespace of our own, without IPv6 (so nothing but what the
# test sends crosses it), both ends up. Needs root and iproute2.

# veth_make NS NEAR FAR: says why and returns 1 when this machine cannot make them.
veth_make() {
  ip netns add "$1" 2>/dev/null || { echo "cannot create a network namespace here"; return 1; }
  ip link add "$2" type veth peer name "$3" 2>/dev/null || { echo "cannot create a veth pair here"; return 1; }
  ip link set "$3" netns "$1"
  sysctl -qw "net.ipv6.conf.$2.disable_ipv6=1" 2>/dev/null || true
  ip netns exec "$1" sysctl -qw "net.ipv6.conf.$3.disable_ipv6=1" 2>/dev/null || true
  ip link set "$2" up
  ip netns exec "$1" ip link set "$3" up
}

# veth_remove NS NEAR
veth_remove() {
  ip link del "$2" 2>/dev/null
  ip netns del "$1" 2>/dev/null
  return 0
}
