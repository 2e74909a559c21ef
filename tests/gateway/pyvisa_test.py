#!/usr/bin/python3
# pyvisa-py, an unmodified Debian package, against vorel-gateway on the
# default bus: run by netns.sh, which starts rpcbind and the gateway.
import unittest

import pyvisa
from pyvisa import constants
from pyvisa.errors import VisaIOError

HOST = "127.0.0.1"


def resource(address):
    return "TCPIP::%s::%s::INSTR" % (HOST, address)


class PyVisaTest(unittest.TestCase):
    def setUp(self):
        self.rm = pyvisa.ResourceManager("@py")
        self.opened = []

    def tearDown(self):
        for inst in self.opened:
            inst.close()
        self.rm.close()

    def open(self, address, **settings):
        inst = self.rm.open_resource(resource(address), **settings)
        self.opened.append(inst)
        return inst

    def test_query(self):
        dmm = self.open("gpib0,1", read_termination="\n")
        self.assertEqual(dmm.query("*IDN?"), "TARNWICK,SIM-DMM,0001,1.0")
        self.assertEqual(dmm.query("MEAS:VOLT?"), "+1.234500E+00")

    def test_partial_reads(self):
        loop = self.open("gpib0,2")
        loop.write_raw(b"hello, world")
        self.assertEqual(loop.read_bytes(5), b"hello")
        self.assertEqual(loop.read_bytes(7), b", world")
        # A small chunk size makes pyvisa-py read one message in parts (one
        # that does not divide the message: pyvisa-py 0.5.1 reads on after a
        # part that is both full and the last).
        loop.chunk_size = 5
        loop.write_raw(b"0123456789abcdef")
        self.assertEqual(loop.read_raw(), b"0123456789abcdef")

    def test_read_stb(self):
        faulty = self.open("gpib0,5")
        self.assertTrue(faulty.read_stb() & 0x40, "the request of power-on")
        self.assertFalse(faulty.read_stb() & 0x40, "ended by the poll")

    def test_clear(self):
        seq = self.open("gpib0,3")
        self.assertEqual(seq.read_bytes(3), b"\x00\x01\x02")
        seq.clear()
        self.assertEqual(seq.read_bytes(3), b"\x00\x01\x02")

    def test_trigger(self):
        dmm = self.open("gpib0,1")
        dmm.assert_trigger()

    def test_timeout(self):
        dmm = self.open("gpib0,1", timeout=200)
        with self.assertRaises(VisaIOError) as caught:
            dmm.read()
        self.assertEqual(caught.exception.error_code, constants.StatusCode.error_timeout)
        dmm.read_termination = "\n"
        self.assertEqual(dmm.query("*IDN?"), "TARNWICK,SIM-DMM,0001,1.0")

    def test_invalid_link_names(self):
        # pyvisa-py 0.5.1 reports create_link's error in a plain exception.
        for address, error in (("gpib0,31", 21), ("gpib0,1,31", 21), ("gpib7,1", 3), ("nosuch", 3),
                               ("gpib0,x", 1), ("gpib0,1,2,3", 1)):
            with self.subTest(address=address), self.assertRaisesRegex(Exception, "error creating link: %d$" % error):
                self.rm.open_resource(resource(address))

    def test_lock_between_two_clients(self):
        first = self.open("gpib0,2", timeout=300)
        second = self.open("gpib0,2", timeout=300)
        first.lock_excl(timeout=1000)
        # pyvisa-py 0.5.1 reports a write refused for the lock as an I/O error.
        with self.assertRaises(VisaIOError) as caught:
            second.write_raw(b"blocked")
        self.assertIn(caught.exception.error_code,
                      (constants.StatusCode.error_resource_locked, constants.StatusCode.error_io))
        # pyvisa-py 0.5.1 locks without waitlock, so the lock is refused at
        # once while the other client holds it (the C client tests waitlock).
        with self.assertRaises(VisaIOError) as caught:
            second.lock_excl(timeout=1000)
        self.assertEqual(caught.exception.error_code, constants.StatusCode.error_resource_locked)
        first.unlock()
        second.lock_excl(timeout=1000)
        with self.assertRaises(VisaIOError):
            first.write_raw(b"blocked")
        second.write_raw(b"mine")
        self.assertEqual(second.read_bytes(4), b"mine")
        second.unlock()


if __name__ == "__main__":
    unittest.main(verbosity=2)
