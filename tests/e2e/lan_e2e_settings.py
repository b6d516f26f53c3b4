"""Settings files for searches of the simulated printers of lan_e2e.conf: a broadcast search, and
a specified search of one of its subnets and one of its hosts. Shared by the end-to-end tests and
the Windows scanner comparison."""

BROADCAST_INI = """[BroadCast]
Status=Enabled
[SearchSpecifiedAddress]
Status=Disabled
[TimeOut]
TimeVal=3
"""
SPECIFIED_INI = """[BroadCast]
Status=Disabled
[SearchSpecifiedAddress]
Status=Enabled
IPAddress=203.0.113.0,198.18.0.7
Subnet=255.255.255.0,255.255.255.255
[TimeOut]
TimeVal=3
"""
