// What each counter becomes in the Prometheus form: the family (or two), its
// kind and its unit, for every counter the Linux layer serves with the type
// it serves it with, and for every type the program knows; an unknown type
// gives nothing.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "report/prometheus_names.h"

namespace {

struct Expected {
    const char* object;
    const char* counter;
    DWORD type;
    const char* family;  // "" for a counter that labels the series instead
    const char* kind;    // "gauge", "counter", "info", or "label pid"/"label tid"
    const char* second;  // the denominator's family of an average, else ""
};

// The Linux layer's objects (shared/design/linux-objects.md); the README's
// table of names is this table.
const Expected LINUX[] = {
    {"Processor", "% Processor Time", PERF_100NSEC_TIMER, "mirekast_processor_busy_seconds_total", "counter", ""},
    {"Processor", "% User Time", PERF_100NSEC_TIMER, "mirekast_processor_user_seconds_total", "counter", ""},
    {"Processor", "% Privileged Time", PERF_100NSEC_TIMER, "mirekast_processor_privileged_seconds_total", "counter", ""},
    {"Processor", "% Interrupt Time", PERF_100NSEC_TIMER, "mirekast_processor_interrupt_seconds_total", "counter", ""},
    {"Processor", "% DPC Time", PERF_100NSEC_TIMER, "mirekast_processor_dpc_seconds_total", "counter", ""},
    {"Processor", "% Idle Time", PERF_100NSEC_TIMER, "mirekast_processor_idle_seconds_total", "counter", ""},
    {"Processor", "Interrupts/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_interrupts_total", "counter", ""},
    {"Processor Information", "% Processor Time", PERF_100NSEC_TIMER, "mirekast_processor_information_busy_seconds_total", "counter", ""},
    {"Processor Information", "% User Time", PERF_100NSEC_TIMER, "mirekast_processor_information_user_seconds_total", "counter", ""},
    {"Processor Information", "% Privileged Time", PERF_100NSEC_TIMER, "mirekast_processor_information_privileged_seconds_total", "counter", ""},
    {"Processor Information", "% Interrupt Time", PERF_100NSEC_TIMER, "mirekast_processor_information_interrupt_seconds_total", "counter", ""},
    {"Processor Information", "% DPC Time", PERF_100NSEC_TIMER, "mirekast_processor_information_dpc_seconds_total", "counter", ""},
    {"Processor Information", "% Idle Time", PERF_100NSEC_TIMER, "mirekast_processor_information_idle_seconds_total", "counter", ""},
    {"Processor Information", "Interrupts/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_interrupts_total", "counter", ""},
    {"Processor Information", "DPCs Queued/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_dpcs_queued_total", "counter", ""},
    {"Processor Information", "Clock Interrupts/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_clock_interrupts_total", "counter", ""},
    {"Processor Information", "Processor Frequency", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_processor_information_frequency_hertz", "gauge", ""},
    {"Processor Information", "% of Maximum Frequency", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_processor_information_maximum_frequency_ratio", "gauge", ""},
    {"Processor Information", "% Processor Performance", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_processor_information_performance_ratio", "gauge", ""},
    {"Processor Information", "% Processor Utility", PERF_100NSEC_TIMER, "mirekast_processor_information_utility_seconds_total", "counter", ""},
    {"Processor Information", "% C1 Time", PERF_100NSEC_TIMER, "mirekast_processor_information_c1_seconds_total", "counter", ""},
    {"Processor Information", "C1 Transitions/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_c1_transitions_total", "counter", ""},
    {"Processor Information", "% C2 Time", PERF_100NSEC_TIMER, "mirekast_processor_information_c2_seconds_total", "counter", ""},
    {"Processor Information", "C2 Transitions/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_c2_transitions_total", "counter", ""},
    {"Processor Information", "% C3 Time", PERF_100NSEC_TIMER, "mirekast_processor_information_c3_seconds_total", "counter", ""},
    {"Processor Information", "C3 Transitions/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_c3_transitions_total", "counter", ""},
    {"Processor Information", "Idle Break Events/sec", PERF_COUNTER_BULK_COUNT, "mirekast_processor_information_idle_break_events_total", "counter", ""},
    {"Process", "% Processor Time", PERF_100NSEC_TIMER, "mirekast_process_cpu_seconds_total", "counter", ""},
    {"Process", "% User Time", PERF_100NSEC_TIMER, "mirekast_process_user_seconds_total", "counter", ""},
    {"Process", "% Privileged Time", PERF_100NSEC_TIMER, "mirekast_process_privileged_seconds_total", "counter", ""},
    {"Process", "Elapsed Time", PERF_ELAPSED_TIME, "mirekast_process_start_time_seconds", "gauge", ""},
    {"Process", "ID Process", PERF_COUNTER_LARGE_RAWCOUNT, "", "label pid", ""},
    {"Process", "Creating Process ID", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_creator_info", "info", ""},
    {"Process", "Thread Count", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_threads", "gauge", ""},
    {"Process", "Working Set", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_working_set_bytes", "gauge", ""},
    {"Process", "Working Set Peak", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_working_set_peak_bytes", "gauge", ""},
    {"Process", "Virtual Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_virtual_bytes", "gauge", ""},
    {"Process", "Virtual Bytes Peak", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_virtual_peak_bytes", "gauge", ""},
    {"Process", "Private Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_private_bytes", "gauge", ""},
    {"Process", "Page File Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_page_file_bytes", "gauge", ""},
    {"Process", "Working Set - Private", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_working_set_private_bytes", "gauge", ""},
    {"Process", "Page Faults/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_page_faults_total", "counter", ""},
    {"Process", "Handle Count", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_process_handles", "gauge", ""},
    {"Process", "IO Read Operations/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_read_operations_total", "counter", ""},
    {"Process", "IO Write Operations/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_write_operations_total", "counter", ""},
    {"Process", "IO Read Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_read_bytes_total", "counter", ""},
    {"Process", "IO Write Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_write_bytes_total", "counter", ""},
    {"Process", "IO Data Operations/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_data_operations_total", "counter", ""},
    {"Process", "IO Data Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_process_io_data_bytes_total", "counter", ""},
    {"Thread", "% Processor Time", PERF_100NSEC_TIMER, "mirekast_thread_cpu_seconds_total", "counter", ""},
    {"Thread", "% User Time", PERF_100NSEC_TIMER, "mirekast_thread_user_seconds_total", "counter", ""},
    {"Thread", "% Privileged Time", PERF_100NSEC_TIMER, "mirekast_thread_privileged_seconds_total", "counter", ""},
    {"Thread", "Elapsed Time", PERF_ELAPSED_TIME, "mirekast_thread_start_time_seconds", "gauge", ""},
    {"Thread", "ID Process", PERF_COUNTER_LARGE_RAWCOUNT, "", "label pid", ""},
    {"Thread", "ID Thread", PERF_COUNTER_LARGE_RAWCOUNT, "", "label tid", ""},
    {"Thread", "Context Switches/sec", PERF_COUNTER_BULK_COUNT, "mirekast_thread_context_switches_total", "counter", ""},
    {"Memory", "Available Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_available_bytes", "gauge", ""},
    {"Memory", "Available KBytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_available_bytes", "gauge", ""},
    {"Memory", "Available MBytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_available_bytes", "gauge", ""},
    {"Memory", "Committed Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_committed_bytes", "gauge", ""},
    {"Memory", "Commit Limit", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_commit_limit_bytes", "gauge", ""},
    {"Memory", "% Committed Bytes In Use", PERF_RAW_FRACTION, "mirekast_memory_committed_bytes_in_use_ratio", "gauge", ""},
    {"Memory", "Cache Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_cache_bytes", "gauge", ""},
    {"Memory", "Free & Zero Page List Bytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_memory_free_zero_page_list_bytes", "gauge", ""},
    {"Memory", "Page Faults/sec", PERF_COUNTER_BULK_COUNT, "mirekast_memory_page_faults_total", "counter", ""},
    {"Memory", "Pages Input/sec", PERF_COUNTER_BULK_COUNT, "mirekast_memory_pages_input_total", "counter", ""},
    {"Memory", "Pages Output/sec", PERF_COUNTER_BULK_COUNT, "mirekast_memory_pages_output_total", "counter", ""},
    {"Memory", "Pages/sec", PERF_COUNTER_BULK_COUNT, "mirekast_memory_pages_total", "counter", ""},
    {"Memory", "Page Reads/sec", PERF_COUNTER_BULK_COUNT, "mirekast_memory_page_reads_total", "counter", ""},
    {"System", "Processes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_system_processes", "gauge", ""},
    {"System", "Threads", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_system_threads", "gauge", ""},
    {"System", "System Up Time", PERF_ELAPSED_TIME, "mirekast_system_boot_time_seconds", "gauge", ""},
    {"System", "Context Switches/sec", PERF_COUNTER_BULK_COUNT, "mirekast_system_context_switches_total", "counter", ""},
    {"System", "Processor Queue Length", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_system_processor_queue_length", "gauge", ""},
    {"System", "Process Creations/sec", PERF_COUNTER_BULK_COUNT, "mirekast_system_process_creations_total", "counter", ""},
    {"PhysicalDisk", "Disk Reads/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_reads_total", "counter", ""},
    {"PhysicalDisk", "Disk Writes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_writes_total", "counter", ""},
    {"PhysicalDisk", "Disk Transfers/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_transfers_total", "counter", ""},
    {"PhysicalDisk", "Disk Read Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_read_bytes_total", "counter", ""},
    {"PhysicalDisk", "Disk Write Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_write_bytes_total", "counter", ""},
    {"PhysicalDisk", "Disk Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_physical_disk_bytes_total", "counter", ""},
    {"PhysicalDisk", "Avg. Disk sec/Read", PERF_AVERAGE_TIMER, "mirekast_physical_disk_read_time_seconds_total", "counter", "mirekast_physical_disk_reads_total"},
    {"PhysicalDisk", "Avg. Disk sec/Write", PERF_AVERAGE_TIMER, "mirekast_physical_disk_write_time_seconds_total", "counter", "mirekast_physical_disk_writes_total"},
    {"PhysicalDisk", "Avg. Disk sec/Transfer", PERF_AVERAGE_TIMER, "mirekast_physical_disk_transfer_time_seconds_total", "counter", "mirekast_physical_disk_transfers_total"},
    {"PhysicalDisk", "Avg. Disk Bytes/Read", PERF_AVERAGE_BULK, "mirekast_physical_disk_read_bytes_total", "counter", "mirekast_physical_disk_reads_total"},
    {"PhysicalDisk", "Avg. Disk Bytes/Write", PERF_AVERAGE_BULK, "mirekast_physical_disk_write_bytes_total", "counter", "mirekast_physical_disk_writes_total"},
    {"PhysicalDisk", "Avg. Disk Bytes/Transfer", PERF_AVERAGE_BULK, "mirekast_physical_disk_bytes_total", "counter", "mirekast_physical_disk_transfers_total"},
    {"PhysicalDisk", "Avg. Disk Read Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_physical_disk_read_time_seconds_total", "counter", ""},
    {"PhysicalDisk", "Avg. Disk Write Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_physical_disk_write_time_seconds_total", "counter", ""},
    {"PhysicalDisk", "Avg. Disk Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_physical_disk_io_time_weighted_seconds_total", "counter", ""},
    {"PhysicalDisk", "% Disk Read Time", PERF_PRECISION_100NS_TIMER, "mirekast_physical_disk_read_time_seconds_total", "counter", ""},
    {"PhysicalDisk", "% Disk Write Time", PERF_PRECISION_100NS_TIMER, "mirekast_physical_disk_write_time_seconds_total", "counter", ""},
    {"PhysicalDisk", "% Disk Time", PERF_PRECISION_100NS_TIMER, "mirekast_physical_disk_transfer_time_seconds_total", "counter", ""},
    {"PhysicalDisk", "% Idle Time", PERF_100NSEC_TIMER, "mirekast_physical_disk_idle_seconds_total", "counter", ""},
    {"PhysicalDisk", "Current Disk Queue Length", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_physical_disk_current_queue_length", "gauge", ""},
    {"LogicalDisk", "Disk Reads/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_reads_total", "counter", ""},
    {"LogicalDisk", "Disk Writes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_writes_total", "counter", ""},
    {"LogicalDisk", "Disk Transfers/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_transfers_total", "counter", ""},
    {"LogicalDisk", "Disk Read Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_read_bytes_total", "counter", ""},
    {"LogicalDisk", "Disk Write Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_write_bytes_total", "counter", ""},
    {"LogicalDisk", "Disk Bytes/sec", PERF_COUNTER_BULK_COUNT, "mirekast_logical_disk_bytes_total", "counter", ""},
    {"LogicalDisk", "Avg. Disk sec/Read", PERF_AVERAGE_TIMER, "mirekast_logical_disk_read_time_seconds_total", "counter", "mirekast_logical_disk_reads_total"},
    {"LogicalDisk", "Avg. Disk sec/Write", PERF_AVERAGE_TIMER, "mirekast_logical_disk_write_time_seconds_total", "counter", "mirekast_logical_disk_writes_total"},
    {"LogicalDisk", "Avg. Disk sec/Transfer", PERF_AVERAGE_TIMER, "mirekast_logical_disk_transfer_time_seconds_total", "counter", "mirekast_logical_disk_transfers_total"},
    {"LogicalDisk", "Avg. Disk Bytes/Read", PERF_AVERAGE_BULK, "mirekast_logical_disk_read_bytes_total", "counter", "mirekast_logical_disk_reads_total"},
    {"LogicalDisk", "Avg. Disk Bytes/Write", PERF_AVERAGE_BULK, "mirekast_logical_disk_write_bytes_total", "counter", "mirekast_logical_disk_writes_total"},
    {"LogicalDisk", "Avg. Disk Bytes/Transfer", PERF_AVERAGE_BULK, "mirekast_logical_disk_bytes_total", "counter", "mirekast_logical_disk_transfers_total"},
    {"LogicalDisk", "Avg. Disk Read Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_logical_disk_read_time_seconds_total", "counter", ""},
    {"LogicalDisk", "Avg. Disk Write Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_logical_disk_write_time_seconds_total", "counter", ""},
    {"LogicalDisk", "Avg. Disk Queue Length", PERF_COUNTER_100NS_QUEUELEN_TYPE, "mirekast_logical_disk_io_time_weighted_seconds_total", "counter", ""},
    {"LogicalDisk", "% Disk Read Time", PERF_PRECISION_100NS_TIMER, "mirekast_logical_disk_read_time_seconds_total", "counter", ""},
    {"LogicalDisk", "% Disk Write Time", PERF_PRECISION_100NS_TIMER, "mirekast_logical_disk_write_time_seconds_total", "counter", ""},
    {"LogicalDisk", "% Disk Time", PERF_PRECISION_100NS_TIMER, "mirekast_logical_disk_transfer_time_seconds_total", "counter", ""},
    {"LogicalDisk", "% Idle Time", PERF_100NSEC_TIMER, "mirekast_logical_disk_idle_seconds_total", "counter", ""},
    {"LogicalDisk", "Current Disk Queue Length", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_logical_disk_current_queue_length", "gauge", ""},
    {"LogicalDisk", "% Free Space", PERF_RAW_FRACTION, "mirekast_logical_disk_free_space_ratio", "gauge", ""},
    {"LogicalDisk", "Free Megabytes", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_logical_disk_free_bytes", "gauge", ""},
    {"Network Interface", "Bytes Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_received_bytes_total", "counter", ""},
    {"Network Interface", "Bytes Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_sent_bytes_total", "counter", ""},
    {"Network Interface", "Bytes Total/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_bytes_total", "counter", ""},
    {"Network Interface", "Packets Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_packets_received_total", "counter", ""},
    {"Network Interface", "Packets Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_packets_sent_total", "counter", ""},
    {"Network Interface", "Packets/sec", PERF_COUNTER_BULK_COUNT, "mirekast_network_interface_packets_total", "counter", ""},
    {"Network Interface", "Packets Received Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_network_interface_packets_received_errors_total", "counter", ""},
    {"Network Interface", "Packets Outbound Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_network_interface_packets_outbound_errors_total", "counter", ""},
    {"Network Interface", "Packets Received Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_network_interface_packets_received_discarded_total", "counter", ""},
    {"Network Interface", "Packets Outbound Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_network_interface_packets_outbound_discarded_total", "counter", ""},
    {"Network Interface", "Current Bandwidth", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_network_interface_speed_bytes", "gauge", ""},
    {"Paging File", "% Usage", PERF_RAW_FRACTION, "mirekast_paging_file_usage_ratio", "gauge", ""},
    {"TCPv4", "Connections Established", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_tcpv4_connections_established", "gauge", ""},
    {"UDPv4", "Datagrams Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv4_datagrams_received_total", "counter", ""},
    {"UDPv4", "Datagrams Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv4_datagrams_sent_total", "counter", ""},
    {"UDPv4", "Datagrams/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv4_datagrams_total", "counter", ""},
    {"UDPv4", "Datagrams No Port/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv4_datagrams_no_port_total", "counter", ""},
    {"UDPv4", "Datagrams Received Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_udpv4_datagrams_received_errors_total", "counter", ""},
    {"IPv4", "Datagrams Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_datagrams_received_total", "counter", ""},
    {"IPv4", "Datagrams Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_datagrams_sent_total", "counter", ""},
    {"IPv4", "Datagrams/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_datagrams_total", "counter", ""},
    {"IPv4", "Datagrams Forwarded/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_datagrams_forwarded_total", "counter", ""},
    {"IPv4", "Datagrams Received Delivered/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_datagrams_received_delivered_total", "counter", ""},
    {"IPv4", "Datagrams Received Header Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_received_header_errors_total", "counter", ""},
    {"IPv4", "Datagrams Received Address Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_received_address_errors_total", "counter", ""},
    {"IPv4", "Datagrams Received Unknown Protocol", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_received_unknown_protocol_total", "counter", ""},
    {"IPv4", "Datagrams Received Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_received_discarded_total", "counter", ""},
    {"IPv4", "Datagrams Outbound Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_outbound_discarded_total", "counter", ""},
    {"IPv4", "Datagrams Outbound No Route", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_datagrams_outbound_no_route_total", "counter", ""},
    {"IPv4", "Fragments Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_fragments_received_total", "counter", ""},
    {"IPv4", "Fragments Re-assembled/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_fragments_re_assembled_total", "counter", ""},
    {"IPv4", "Fragments Created/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv4_fragments_created_total", "counter", ""},
    {"IPv4", "Fragment Re-assembly Failures", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_fragment_re_assembly_failures_total", "counter", ""},
    {"IPv4", "Fragmentation Failures", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv4_fragmentation_failures_total", "counter", ""},
    {"TCPv6", "Connections Established", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_tcpv6_connections_established", "gauge", ""},
    {"UDPv6", "Datagrams Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv6_datagrams_received_total", "counter", ""},
    {"UDPv6", "Datagrams Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv6_datagrams_sent_total", "counter", ""},
    {"UDPv6", "Datagrams/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv6_datagrams_total", "counter", ""},
    {"UDPv6", "Datagrams No Port/sec", PERF_COUNTER_BULK_COUNT, "mirekast_udpv6_datagrams_no_port_total", "counter", ""},
    {"UDPv6", "Datagrams Received Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_udpv6_datagrams_received_errors_total", "counter", ""},
    {"IPv6", "Datagrams Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_datagrams_received_total", "counter", ""},
    {"IPv6", "Datagrams Sent/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_datagrams_sent_total", "counter", ""},
    {"IPv6", "Datagrams/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_datagrams_total", "counter", ""},
    {"IPv6", "Datagrams Forwarded/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_datagrams_forwarded_total", "counter", ""},
    {"IPv6", "Datagrams Received Delivered/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_datagrams_received_delivered_total", "counter", ""},
    {"IPv6", "Datagrams Received Header Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_received_header_errors_total", "counter", ""},
    {"IPv6", "Datagrams Received Address Errors", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_received_address_errors_total", "counter", ""},
    {"IPv6", "Datagrams Received Unknown Protocol", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_received_unknown_protocol_total", "counter", ""},
    {"IPv6", "Datagrams Received Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_received_discarded_total", "counter", ""},
    {"IPv6", "Datagrams Outbound Discarded", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_outbound_discarded_total", "counter", ""},
    {"IPv6", "Datagrams Outbound No Route", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_datagrams_outbound_no_route_total", "counter", ""},
    {"IPv6", "Fragments Received/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_fragments_received_total", "counter", ""},
    {"IPv6", "Fragments Re-assembled/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_fragments_re_assembled_total", "counter", ""},
    {"IPv6", "Fragments Created/sec", PERF_COUNTER_BULK_COUNT, "mirekast_ipv6_fragments_created_total", "counter", ""},
    {"IPv6", "Fragment Re-assembly Failures", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_fragment_re_assembly_failures_total", "counter", ""},
    {"IPv6", "Fragmentation Failures", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_ipv6_fragmentation_failures_total", "counter", ""},
    {"Cache", "Dirty Pages", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_cache_dirty_pages", "gauge", ""},
    {"Cache", "Dirty Page Threshold", PERF_COUNTER_LARGE_RAWCOUNT, "mirekast_cache_dirty_page_threshold", "gauge", ""},
};

std::string kindText(const SeriesForm& series)
{
    switch (series.kind) {
    case KIND_GAUGE:
        return "gauge";
    case KIND_COUNTER:
        return "counter";
    case KIND_INFO:
        return "info";
    }
    return "?";
}

TEST(PrometheusNames, EveryLinuxCounterHasItsFamilyKindAndUnit)
{
    for (const Expected& e : LINUX) {
        SCOPED_TRACE(std::string(e.object) + " : " + e.counter);
        CounterForm form = prometheusCounterForm(e.object, e.counter, e.type);
        EXPECT_TRUE(form.knownType);
        std::string kind = e.kind;
        if (kind.rfind("label ", 0) == 0) {
            EXPECT_EQ(form.parts, 0);
            ASSERT_NE(identityLabel(e.counter), nullptr);
            EXPECT_EQ(std::string("label ") + identityLabel(e.counter), kind);
            continue;
        }
        EXPECT_EQ(identityLabel(e.counter), nullptr);
        ASSERT_EQ(form.parts, e.second[0] != '\0' ? 2 : 1);
        EXPECT_STREQ(form.series[0].family, e.family);
        EXPECT_EQ(kindText(form.series[0]), kind);
        if (form.parts == 2) {
            EXPECT_STREQ(form.series[1].family, e.second);
            EXPECT_EQ(kindText(form.series[1]), "counter");
        }
    }
}

// Prometheus' conventions, over every name: snake case of lower-case words,
// no word twice, counters and only counters ending in _total, no unit but a
// base one.
TEST(PrometheusNames, LinuxNamesFollowTheNamingConventions)
{
    for (const Expected& e : LINUX) {
        CounterForm form = prometheusCounterForm(e.object, e.counter, e.type);
        for (int part = 0; part < form.parts; part++) {
            std::string name = form.series[part].family;
            SCOPED_TRACE(std::string(e.object) + " : " + e.counter + " -> " + name);
            EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"),
                      std::string::npos);
            std::set<std::string> seen;
            size_t start = 0;
            while (start <= name.size()) {
                size_t end = name.find('_', start);
                std::string word = name.substr(start, end - start);
                EXPECT_FALSE(word.empty());
                EXPECT_TRUE(seen.insert(word).second) << "repeated word " << word;
                if (end == std::string::npos) {
                    break;
                }
                start = end + 1;
            }
            bool total = name.size() > 6 && name.compare(name.size() - 6, 6, "_total") == 0;
            EXPECT_EQ(total, form.series[part].kind == KIND_COUNTER);
            for (const char* unit : {"percent", "per_second", "bits", "kbytes", "mbytes",
                                     "megabytes", "milliseconds", "elapsed"}) {
                EXPECT_EQ(name.find(unit), std::string::npos) << unit;
            }
        }
    }
}

// Names are shared only by counters of one quantity, given in one unit: the
// writer prints such a family once.  Any other sharing would mix quantities.
TEST(PrometheusNames, LinuxFamiliesAreSharedOnlyByOneQuantity)
{
    std::map<std::string, std::set<std::string>> sharers;
    for (const Expected& e : LINUX) {
        CounterForm form = prometheusCounterForm(e.object, e.counter, e.type);
        for (int part = 0; part < form.parts; part++) {
            sharers[form.series[part].family].insert(std::string(e.counter) + "#" +
                                                     std::to_string(part));
        }
    }
    const std::map<std::string, std::set<std::string>> allowed = {
        {"mirekast_memory_available_bytes",
         {"Available Bytes#0", "Available KBytes#0", "Available MBytes#0"}},
        {"reads_total", {"Disk Reads/sec#0", "Avg. Disk sec/Read#1", "Avg. Disk Bytes/Read#1"}},
        {"writes_total",
         {"Disk Writes/sec#0", "Avg. Disk sec/Write#1", "Avg. Disk Bytes/Write#1"}},
        {"transfers_total",
         {"Disk Transfers/sec#0", "Avg. Disk sec/Transfer#1", "Avg. Disk Bytes/Transfer#1"}},
        {"read_bytes_total", {"Disk Read Bytes/sec#0", "Avg. Disk Bytes/Read#0"}},
        {"write_bytes_total", {"Disk Write Bytes/sec#0", "Avg. Disk Bytes/Write#0"}},
        {"bytes_total", {"Disk Bytes/sec#0", "Avg. Disk Bytes/Transfer#0"}},
        {"read_time_seconds_total",
         {"Avg. Disk sec/Read#0", "Avg. Disk Read Queue Length#0", "% Disk Read Time#0"}},
        {"write_time_seconds_total",
         {"Avg. Disk sec/Write#0", "Avg. Disk Write Queue Length#0", "% Disk Write Time#0"}},
        {"transfer_time_seconds_total", {"Avg. Disk sec/Transfer#0", "% Disk Time#0"}},
    };
    for (const auto& [family, counters] : sharers) {
        if (counters.size() == 1) {
            continue;
        }
        std::string key = family;
        for (const char* disk : {"mirekast_physical_disk_", "mirekast_logical_disk_"}) {
            if (key.rfind(disk, 0) == 0) {
                key = key.substr(strlen(disk));
            }
        }
        auto found = allowed.find(key);
        ASSERT_NE(found, allowed.end()) << family << " is shared by " << counters.size();
        EXPECT_EQ(counters, found->second) << family;
    }
}

struct TypeCase {
    DWORD type;
    const char* counter;
    const char* family;
    FamilyKind kind;
    ValueSource source;
    double factor;
    bool perTimeBase;
};

// Every type the program knows, on a counter of an object of no table entry:
// the derived name, and how its value follows from the raw sample.
TEST(PrometheusNames, EveryKnownTypeHasItsKindSourceAndUnit)
{
    const TypeCase cases[] = {
        {PERF_COUNTER_RAWCOUNT, "Open Files", "mirekast_odd_open_files", KIND_GAUGE, FROM_FIRST, 1,
         false},
        {PERF_COUNTER_LARGE_RAWCOUNT, "Cache KBytes", "mirekast_odd_cache_bytes", KIND_GAUGE,
         FROM_FIRST, 1024, false},
        {PERF_COUNTER_RAWCOUNT_HEX, "Flags", "mirekast_odd_flags", KIND_GAUGE, FROM_FIRST, 1,
         false},
        {PERF_COUNTER_LARGE_RAWCOUNT_HEX, "% Load", "mirekast_odd_load_ratio", KIND_GAUGE,
         FROM_FIRST, 0.01, false},
        {PERF_COUNTER_COUNTER, "Calls/sec", "mirekast_odd_calls_total", KIND_COUNTER, FROM_FIRST,
         1, false},
        {PERF_COUNTER_BULK_COUNT, "Bytes Read/sec", "mirekast_odd_read_bytes_total",
         KIND_COUNTER, FROM_FIRST, 1, false},
        {PERF_100NSEC_TIMER, "% Busy Time", "mirekast_odd_busy_seconds_total", KIND_COUNTER,
         FROM_FIRST, 1e-7, false},
        {PERF_PRECISION_100NS_TIMER, "% Wait Time", "mirekast_odd_wait_seconds_total",
         KIND_COUNTER, FROM_FIRST, 1e-7, false},
        {PERF_100NSEC_TIMER_INV, "% Busy Time", "mirekast_odd_busy_seconds_total", KIND_COUNTER,
         FROM_SECOND_LESS_FIRST, 1e-7, false},
        {PERF_COUNTER_TIMER, "% Busy Time", "mirekast_odd_busy_seconds_total", KIND_COUNTER,
         FROM_FIRST, 1, true},
        {PERF_COUNTER_TIMER_INV, "% Busy Time", "mirekast_odd_busy_seconds_total", KIND_COUNTER,
         FROM_SECOND_LESS_FIRST, 1, true},
        {PERF_COUNTER_100NS_QUEUELEN_TYPE, "Avg. Queue Length",
         "mirekast_odd_queue_length_seconds_total", KIND_COUNTER, FROM_FIRST, 1e-7, false},
        {PERF_COUNTER_QUEUELEN_TYPE, "Avg. Queue Length", "mirekast_odd_queue_length_seconds_total",
         KIND_COUNTER, FROM_FIRST, 1, true},
        {PERF_COUNTER_LARGE_QUEUELEN_TYPE, "Avg. Queue Length",
         "mirekast_odd_queue_length_seconds_total", KIND_COUNTER, FROM_FIRST, 1, true},
        {PERF_RAW_FRACTION, "% Used", "mirekast_odd_used_ratio", KIND_GAUGE, FROM_FRACTION, 1,
         false},
        {PERF_LARGE_RAW_FRACTION, "% Used", "mirekast_odd_used_ratio", KIND_GAUGE, FROM_FRACTION,
         1, false},
        {PERF_ELAPSED_TIME, "Elapsed Time", "mirekast_odd_start_time_seconds", KIND_GAUGE,
         FROM_START_TIME, 1, true},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(std::string(c.counter) + " of type " + std::to_string(c.type));
        CounterForm form = prometheusCounterForm("Odd", c.counter, c.type);
        EXPECT_TRUE(form.knownType);
        ASSERT_EQ(form.parts, 1);
        EXPECT_STREQ(form.series[0].family, c.family);
        EXPECT_EQ(form.series[0].kind, c.kind);
        EXPECT_EQ(form.series[0].source, c.source);
        EXPECT_DOUBLE_EQ(form.series[0].factor, c.factor);
        EXPECT_EQ(form.series[0].perTimeBase, c.perTimeBase);
    }

    CounterForm timer = prometheusCounterForm("Odd", "Avg. sec/Request", PERF_AVERAGE_TIMER);
    ASSERT_EQ(timer.parts, 2);
    EXPECT_STREQ(timer.series[0].family, "mirekast_odd_request_time_seconds_total");
    EXPECT_TRUE(timer.series[0].perTimeBase);
    EXPECT_EQ(timer.series[0].source, FROM_FIRST);
    EXPECT_STREQ(timer.series[1].family, "mirekast_odd_requests_total");
    EXPECT_EQ(timer.series[1].source, FROM_SECOND);
    EXPECT_FALSE(timer.series[1].perTimeBase);

    CounterForm bulk = prometheusCounterForm("Odd", "Avg. KBytes/Request", PERF_AVERAGE_BULK);
    ASSERT_EQ(bulk.parts, 2);
    EXPECT_STREQ(bulk.series[0].family, "mirekast_odd_request_bytes_total");
    EXPECT_DOUBLE_EQ(bulk.series[0].factor, 1024);
    EXPECT_FALSE(bulk.series[0].perTimeBase);
    EXPECT_STREQ(bulk.series[1].family, "mirekast_odd_requests_total");
    CounterForm items = prometheusCounterForm("Odd", "Avg. Items/Batch", PERF_AVERAGE_BULK);
    EXPECT_STREQ(items.series[0].family, "mirekast_odd_batch_items_total");
    EXPECT_STREQ(items.series[1].family, "mirekast_odd_batches_total");
}

TEST(PrometheusNames, UnknownTypesGiveNothing)
{
    for (DWORD type : std::vector<DWORD>{PERF_SAMPLE_FRACTION, PERF_COUNTER_DELTA,
                                         PERF_COUNTER_LARGE_DELTA, PERF_RAW_BASE,
                                         PERF_AVERAGE_BASE, 0x12345678}) {
        CounterForm form = prometheusCounterForm("Processor", "% Processor Time", type);
        EXPECT_FALSE(form.knownType) << type;
        EXPECT_EQ(form.parts, 0) << type;
    }
}

TEST(PrometheusNames, GaugesNeverEndAsCountersDoAndNamesStayInBounds)
{
    CounterForm items = prometheusCounterForm("Job", "Items Total", PERF_COUNTER_RAWCOUNT);
    EXPECT_STREQ(items.series[0].family, "mirekast_job_items_total_value");
    CounterForm odd =
        prometheusCounterForm("Odd \xc3\xa9 Object", "x2Y (new)", PERF_COUNTER_RAWCOUNT);
    EXPECT_STREQ(odd.series[0].family, "mirekast_odd_object_x2_y_new");
    std::string longName(1000, 'a');
    CounterForm longForm =
        prometheusCounterForm(longName.c_str(), longName.c_str(), PERF_COUNTER_RAWCOUNT);
    EXPECT_LT(strlen(longForm.series[0].family), FAMILY_NAME_SIZE);
    // The same counter always gives the same name.
    CounterForm again = prometheusCounterForm("Network Interface", "Bytes Received/sec",
                                              PERF_COUNTER_BULK_COUNT);
    EXPECT_STREQ(again.series[0].family, "mirekast_network_interface_received_bytes_total");
}

} // namespace
