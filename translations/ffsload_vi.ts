<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="vi">
<context>
    <name>GridWindow</name>
    <message>
        <source>ffsload: station grid</source>
        <translation>ffsload: lưới trạm</translation>
    </message>
    <message>
        <source>&amp;Customer:</source>
        <translation>&amp;Khách hàng:</translation>
    </message>
    <message>
        <source>Sub-number:</source>
        <translation>Mã phụ:</translation>
    </message>
    <message>
        <source>Run &amp;all</source>
        <translation>Chạy &amp;tất cả</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Th&amp;oát</translation>
    </message>
    <message>
        <source>&amp;Operator:</source>
        <translation>&amp;Người vận hành:</translation>
    </message>
    <message>
        <source>scan your badge or type your id, Enter</source>
        <translation>quét thẻ hoặc nhập mã, nhấn Enter</translation>
    </message>
    <message>
        <source>&lt;b&gt;Port %1&lt;/b&gt;&lt;br&gt;%2</source>
        <translation>&lt;b&gt;Cổng %1&lt;/b&gt;&lt;br&gt;%2</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Chạy</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Lưu</translation>
    </message>
    <message>
        <source>Y or N, or click:</source>
        <translation>Nhấn Y hoặc N, hoặc bấm:</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Có (Y)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Không (N)</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>quét sản phẩm, hoặc nhập số serial rồi Enter</translation>
    </message>
    <message>
        <source>type the customer number and press Enter</source>
        <translation>nhập mã khách hàng rồi nhấn Enter</translation>
    </message>
    <message>
        <source>script %1, MA_NO &quot;%2&quot;</source>
        <translation>script %1, MA_NO &quot;%2&quot;</translation>
    </message>
    <message>
        <source>waiting for your answer</source>
        <translation>đang chờ bạn trả lời</translation>
    </message>
    <message>
        <source>running</source>
        <translation>đang chạy</translation>
    </message>
    <message>
        <source>elapsed %1 s</source>
        <translation>đã chạy %1 giây</translation>
    </message>
    <message>
        <source>runs %1   green %2   red %3</source>
        <translation>lượt %1   xanh %2   đỏ %3</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>Người vận hành: %1</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Lỗi: %1</translation>
    </message>
    <message>
        <source>log saved to %1</source>
        <translation>đã lưu nhật ký vào %1</translation>
    </message>
    <message>
        <source>Error: cannot write the run log file %1: %2</source>
        <translation>Lỗi: không ghi được tệp nhật ký %1: %2</translation>
    </message>
    <message>
        <source>Closing: the runs under way stop after their current command (close again to end them at once)</source>
        <translation>Đang đóng: các lượt đang chạy sẽ dừng sau lệnh hiện tại (đóng lần nữa để dừng ngay)</translation>
    </message>
    <message>
        <source>Closing: the ports&apos; processes are ending</source>
        <translation>Đang đóng: các tiến trình của cổng đang kết thúc</translation>
    </message>
</context>
<context>
    <name>OperatorText</name>
    <message>
        <source>Error</source>
        <translation>Lỗi</translation>
    </message>
    <message>
        <source>Pending IMEI</source>
        <translation>IMEI đang chờ</translation>
    </message>
    <message>
        <source>Fail to open file &lt;custdefine&gt;</source>
        <translation>Không mở được tệp &lt;custdefine&gt;</translation>
    </message>
    <message>
        <source>Fail to open file</source>
        <translation>Không mở được tệp</translation>
    </message>
    <message>
        <source>Fail to open file &lt;*.tms&gt;</source>
        <translation>Không mở được tệp &lt;*.tms&gt;</translation>
    </message>
    <message>
        <source>Fail to write file &lt;%1&gt;: %2</source>
        <translation>Không ghi được tệp &lt;%1&gt;: %2</translation>
    </message>
    <message>
        <source>Fail to find the customer</source>
        <translation>Không tìm thấy khách hàng</translation>
    </message>
    <message>
        <source>Fail to show the yield: %1</source>
        <translation>Không hiển thị được hiệu suất: %1</translation>
    </message>
    <message>
        <source>The station&apos;s settings stop the panels: %1</source>
        <translation>Cài đặt của trạm không cho mở màn hình: %1</translation>
    </message>
    <message>
        <source>This station requires the operator&apos;s id: scan your badge or type your id</source>
        <translation>Trạm này cần mã nhân viên: quét thẻ hoặc nhập mã</translation>
    </message>
    <message>
        <source>This station asks for unit serials (unit-serial in %1) but the panel file has no unit field (control %2)</source>
        <translation>Trạm này cần số serial (unit-serial trong %1) nhưng tệp màn hình không có ô serial (control %2)</translation>
    </message>
    <message>
        <source>Scan the unit first: this station requires its serial</source>
        <translation>Hãy quét sản phẩm trước: trạm này cần số serial</translation>
    </message>
    <message>
        <source>Refused: %1; nothing runs. Scan again.</source>
        <translation>Bị từ chối: %1; không chạy. Hãy quét lại.</translation>
    </message>
    <message>
        <source>unit %1</source>
        <translation>sản phẩm %1</translation>
    </message>
    <message>
        <source>unit %1: attempt %2</source>
        <translation>sản phẩm %1: lần thứ %2</translation>
    </message>
    <message>
        <source>unit %1: attempt %2, passed before at %3 %4 UTC</source>
        <translation>sản phẩm %1: lần thứ %2, đã đạt lúc %3 %4 UTC</translation>
    </message>
    <message>
        <source>unit %1: attempt unknown (the records cannot be read)</source>
        <translation>sản phẩm %1: không rõ lần thứ (không đọc được hồ sơ)</translation>
    </message>
    <message>
        <source>Port %1 is not a port from %2 to %3: the run cannot reach a handset</source>
        <translation>Cổng %1 không nằm trong %2 đến %3: không kết nối được điện thoại</translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation>Cổng %1: %2</translation>
    </message>
    <message>
        <source>Port %1 cannot be opened: %2</source>
        <translation>Không mở được cổng %1: %2</translation>
    </message>
    <message>
        <source>cannot open port %1: %2</source>
        <translation>không mở được cổng %1: %2</translation>
    </message>
    <message>
        <source>port %1 is in use by another run in this station folder (%2): no run; wait for it to end</source>
        <translation>cổng %1 đang được lượt chạy khác trong thư mục trạm này dùng (%2): không chạy; hãy chờ nó xong</translation>
    </message>
    <message>
        <source>Run log saved to %1</source>
        <translation>Đã lưu nhật ký chạy vào %1</translation>
    </message>
    <message>
        <source>Run log NOT saved</source>
        <translation>CHƯA lưu nhật ký chạy</translation>
    </message>
    <message>
        <source>check the fixture on port %1: %2 red runs in a row</source>
        <translation>kiểm tra đồ gá ở cổng %1: %2 lượt đỏ liên tiếp</translation>
    </message>
    <message>
        <source>failing line %1</source>
        <translation>dòng lỗi %1</translation>
    </message>
    <message>
        <source>the handset was formatted after its IMEI backup and the IMEI was not written back: it is only in the PC file %1; write it back before the handset leaves the station</source>
        <translation>điện thoại đã bị định dạng sau khi sao lưu IMEI và IMEI chưa được ghi lại: nó chỉ còn trong tệp PC %1; hãy ghi lại trước khi điện thoại rời trạm</translation>
    </message>
    <message>
        <source>IMEI %1, pending since the run on port %2 stopped after the format, is on this handset: it had been written back</source>
        <translation>IMEI %1, đang chờ từ khi lượt chạy ở cổng %2 dừng sau khi định dạng, đã có trên điện thoại này: nó đã được ghi lại</translation>
    </message>
    <message>
        <source>this handset has its own IMEI; IMEI %1 of the run on port %2 that stopped after the format stays pending and waits for its handset</source>
        <translation>điện thoại này có IMEI riêng; IMEI %1 của lượt chạy ở cổng %2 dừng sau khi định dạng vẫn đang chờ điện thoại của nó</translation>
    </message>
    <message>
        <source>IMEI %1 was pending for unit %2, which is this handset: it is this run&apos;s backup in %3, and the script&apos;s write-back gives it back</source>
        <translation>IMEI %1 đang chờ cho sản phẩm %2, chính là điện thoại này: nó là bản sao lưu của lượt này trong %3, và bước ghi lại của script sẽ trả nó về</translation>
    </message>
    <message>
        <source>IMEI %1 is kept aside: it is not this handset&apos;s; &quot;ffsload report --interrupted&quot; lists it</source>
        <translation>IMEI %1 được để riêng: nó không phải của điện thoại này; &quot;ffsload report --interrupted&quot; liệt kê nó</translation>
    </message>
    <message>
        <source>IMEI %1 is this run&apos;s backup in %2: the script&apos;s write-back gives it back</source>
        <translation>IMEI %1 là bản sao lưu của lượt này trong %2: bước ghi lại của script sẽ trả nó về</translation>
    </message>
    <message>
        <source>IMEI %1 is pending on port %2: the run stopped after the format, before the write-back; it is kept in the run journal until its handset has it again</source>
        <translation>IMEI %1 đang chờ ở cổng %2: lượt chạy dừng sau khi định dạng, trước khi ghi lại; nó được giữ trong sổ lượt chạy cho đến khi điện thoại của nó có lại</translation>
    </message>
    <message>
        <source>the run journal cannot be written (%1): this run refuses to format the handset, so that its IMEI cannot be lost</source>
        <translation>không ghi được sổ lượt chạy (%1): lượt này không định dạng điện thoại, để IMEI không bị mất</translation>
    </message>
    <message>
        <source>%1: a pending IMEI may be hidden in it, so no IMEI read-back or format runs on this port until a line engineer has looked (&quot;ffsload pending&quot; lists it, &quot;ffsload pending --port %2 --resolve-damaged&quot; sets damaged lines aside)</source>
        <translation>%1: có thể có IMEI đang chờ bị ẩn trong đó, nên cổng này không đọc IMEI hay định dạng cho đến khi kỹ sư chuyền kiểm tra (&quot;ffsload pending&quot; liệt kê, &quot;ffsload pending --port %2 --resolve-damaged&quot; để riêng các dòng hỏng)</translation>
    </message>
    <message>
        <source>the run journal could not be tidied: %1</source>
        <translation>không dọn được sổ lượt chạy: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the run&apos;s end: %1</source>
        <translation>sổ lượt chạy không ghi được lúc kết thúc: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the IMEI write-back: %1</source>
        <translation>sổ lượt chạy không ghi được việc ghi lại IMEI: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note what became of a pending IMEI: %1</source>
        <translation>sổ lượt chạy không ghi được IMEI đang chờ đã ra sao: %1</translation>
    </message>
    <message>
        <source>records: %1</source>
        <translation>hồ sơ: %1</translation>
    </message>
    <message>
        <source>records: %1 record(s) kept in %2 are now stored with the others</source>
        <translation>hồ sơ: %1 hồ sơ giữ trong %2 nay đã được lưu cùng các hồ sơ khác</translation>
    </message>
    <message>
        <source>records: %1; this run&apos;s record is kept in %2 and sent when the records can be written again</source>
        <translation>hồ sơ: %1; hồ sơ lượt này được giữ trong %2 và sẽ gửi khi ghi được lại</translation>
    </message>
    <message>
        <source>records: %1 record(s) refused by the records for what they hold are set aside in %2 (ffsload report counts them): %3</source>
        <translation>hồ sơ: %1 hồ sơ bị từ chối vì nội dung được để riêng trong %2 (ffsload report có đếm): %3</translation>
    </message>
    <message>
        <source>records: neither the records nor the outbox can take this run&apos;s record: %1; %2</source>
        <translation>hồ sơ: cả kho hồ sơ lẫn thư mục chờ gửi đều không nhận được hồ sơ lượt này: %1; %2</translation>
    </message>
    <message>
        <source>records: the run journal keeps this run&apos;s outcome, unit and IMEI, and the next run on port %1 records it (without its log)</source>
        <translation>hồ sơ: sổ lượt chạy giữ kết quả, sản phẩm và IMEI của lượt này, và lượt chạy sau ở cổng %1 sẽ ghi nó (không có nhật ký)</translation>
    </message>
    <message>
        <source>records: this run&apos;s record is lost: the run journal cannot keep it either; free space on the disk</source>
        <translation>hồ sơ: hồ sơ lượt này bị mất: sổ lượt chạy cũng không giữ được; hãy giải phóng dung lượng đĩa</translation>
    </message>
    <message>
        <source>cannot start the port&apos;s process: %1</source>
        <translation>không khởi động được tiến trình của cổng: %1</translation>
    </message>
    <message>
        <source>no run: %1</source>
        <translation>không chạy: %1</translation>
    </message>
    <message>
        <source>the port&apos;s process %1; Run starts a new one</source>
        <translation>tiến trình của cổng %1; nhấn Chạy để mở tiến trình mới</translation>
    </message>
    <message>
        <source>the customer stays until the runs under way have ended</source>
        <translation>không đổi được khách hàng cho đến khi các lượt đang chạy xong</translation>
    </message>
    <message>
        <source>the operator stays until the runs under way have ended</source>
        <translation>không đổi được người vận hành cho đến khi các lượt đang chạy xong</translation>
    </message>
    <message>
        <source>this station requires the operator&apos;s id: enter it above first</source>
        <translation>trạm này cần mã nhân viên: hãy nhập ở trên trước</translation>
    </message>
    <message>
        <source>refused: %1; nothing runs</source>
        <translation>bị từ chối: %1; không chạy</translation>
    </message>
    <message>
        <source>scan the unit first: this station requires its serial</source>
        <translation>hãy quét sản phẩm trước: trạm này cần số serial</translation>
    </message>
    <message>
        <source>First-pass and final yield since %1 (%2)</source>
        <translation>Tỷ lệ đạt lần đầu và cuối cùng từ %1 (%2)</translation>
    </message>
    <message>
        <source>First-pass and final yield (%1)</source>
        <translation>Tỷ lệ đạt lần đầu và cuối cùng (%1)</translation>
    </message>
    <message>
        <source>customer %1</source>
        <translation>khách hàng %1</translation>
    </message>
    <message>
        <source>unit %1, customer %2</source>
        <translation>sản phẩm %1, khách hàng %2</translation>
    </message>
    <message>
        <source>%1 (run at %2)</source>
        <translation>%1 (lượt chạy lúc %2)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3)</source>
        <translation>%1 (lượt chạy lúc %2, sản phẩm %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, customer %3)</source>
        <translation>%1 (lượt chạy lúc %2, khách hàng %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3, customer %4)</source>
        <translation>%1 (lượt chạy lúc %2, sản phẩm %3, khách hàng %4)</translation>
    </message>
    <message>
        <source>the MES refused unit %1: %2</source>
        <translation>MES từ chối sản phẩm %1: %2</translation>
    </message>
    <message>
        <source>the MES did not agree to unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>MES không đồng ý với sản phẩm %1: %2; vẫn tiếp tục chạy (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the MES did not answer about unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>MES không trả lời về sản phẩm %1: %2; vẫn tiếp tục chạy (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1): no run until it is unlocked</source>
        <translation>trạm đã bị MES khóa (%1): không chạy được cho đến khi mở khóa</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1, by %2): no run until it is unlocked</source>
        <translation>trạm đã bị MES khóa (%1, bởi %2): không chạy được cho đến khi mở khóa</translation>
    </message>
    <message>
        <source>CFX: %1 could not be queued for the factory network (%2); the run goes on without them</source>
        <translation>CFX: không thể xếp %1 vào hàng đợi mạng nhà máy (%2); vẫn tiếp tục chạy mà không có chúng</translation>
    </message>
    <message>
        <source>the run&apos;s start messages</source>
        <translation>các tin nhắn bắt đầu lần chạy</translation>
    </message>
    <message>
        <source>the run&apos;s end messages</source>
        <translation>các tin nhắn kết thúc lần chạy</translation>
    </message>
    <message>
        <source>the interrupted run&apos;s messages</source>
        <translation>các tin nhắn của lần chạy bị ngắt</translation>
    </message>
    <message>
        <source>CFX: the panels&apos; EndpointConnected could not be queued: %1</source>
        <translation>CFX: không thể xếp EndpointConnected của bảng điều khiển vào hàng đợi: %1</translation>
    </message>
    <message>
        <source>an IMEI is pending in this station and this handset has none, and nobody said whether it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore gives it the pending IMEI back, --pending-imei keep-aside keeps the IMEI aside)</source>
        <translation>trạm này có một IMEI đang chờ, điện thoại này không có IMEI, và không ai trả lời có phải điện thoại đó không: chưa định dạng gì. Hãy chạy lại và trả lời câu hỏi (trên dòng lệnh: --pending-imei restore trả IMEI đang chờ về, --pending-imei keep-aside để IMEI riêng)</translation>
    </message>
    <message>
        <source>%1 IMEIs are pending in this station and this handset has none, and nobody said which of them, if any, is its own: nothing was formatted. Pending: %2. Run again and answer each question (on the command line: --pending-imei restore=HEX gives this handset the IMEI HEX; &quot;ffsload pending&quot; lists them)</source>
        <translation>trạm này có %1 IMEI đang chờ, điện thoại này không có IMEI, và không ai nói cái nào là của nó: chưa định dạng gì. Đang chờ: %2. Hãy chạy lại và trả lời từng câu hỏi (trên dòng lệnh: --pending-imei restore=HEX cho điện thoại này IMEI HEX; &quot;ffsload pending&quot; liệt kê chúng)</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, but the IMEI named, %2, is pending for unit %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>điện thoại này được quét là sản phẩm %1, nhưng IMEI được chỉ định, %2, đang chờ cho sản phẩm %3: chưa định dạng gì. Hãy quét số sê-ri của chính điện thoại này, hoặc chỉ định IMEI của chính nó</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending, but the answer names IMEI %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>điện thoại này được quét là sản phẩm %1, có IMEI %2 đang chờ, nhưng câu trả lời chỉ định IMEI %3: chưa định dạng gì. Hãy quét số sê-ri của chính điện thoại này, hoặc chỉ định IMEI của chính nó</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and the answer was that it is not that handset: IMEI %2 stays pending and nothing was formatted. Check the serial</source>
        <translation>điện thoại này được quét là sản phẩm %1, có IMEI %2 đang chờ từ cổng %3, và câu trả lời là không phải điện thoại đó: IMEI %2 vẫn đang chờ và chưa định dạng gì. Hãy kiểm tra số sê-ri</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and nobody confirmed that it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore)</source>
        <translation>điện thoại này được quét là sản phẩm %1, có IMEI %2 đang chờ từ cổng %3, và không ai xác nhận đó là điện thoại đó: chưa định dạng gì. Hãy chạy lại và trả lời câu hỏi (trên dòng lệnh: --pending-imei restore)</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back. Is this that handset? Yes gives it IMEI %3 back. No keeps IMEI %3 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>Lượt chạy ở cổng %1 lúc %2 đã dừng sau khi định dạng, trước khi ghi lại IMEI %3. Đây có phải điện thoại đó không? Chọn Có thì nó được trả lại IMEI %3. Chọn Không thì IMEI %3 bị để riêng vĩnh viễn: không điện thoại nào nhận được nó trừ khi kỹ sư khôi phục.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back. Is this that handset? Yes gives it IMEI %4 back. No keeps IMEI %4 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>Lượt chạy ở cổng %1 lúc %2 (%3) đã dừng sau khi định dạng, trước khi ghi lại IMEI %4. Đây có phải điện thoại đó không? Chọn Có thì nó được trả lại IMEI %4. Chọn Không thì IMEI %4 bị để riêng vĩnh viễn: không điện thoại nào nhận được nó trừ khi kỹ sư khôi phục.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back; it is one of %4 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %3 back. No leaves IMEI %3 pending for its own handset.</source>
        <translation>Lượt chạy ở cổng %1 lúc %2 đã dừng sau khi định dạng, trước khi ghi lại IMEI %3; đó là một trong %4 IMEI đang chờ ở trạm này. Đây có phải điện thoại đó không? Chọn Có thì nó được trả lại IMEI %3. Chọn Không thì IMEI %3 tiếp tục chờ điện thoại của nó.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back; it is one of %5 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending for its own handset.</source>
        <translation>Lượt chạy ở cổng %1 lúc %2 (%3) đã dừng sau khi định dạng, trước khi ghi lại IMEI %4; đó là một trong %5 IMEI đang chờ ở trạm này. Đây có phải điện thoại đó không? Chọn Có thì nó được trả lại IMEI %4. Chọn Không thì IMEI %4 tiếp tục chờ điện thoại của nó.</translation>
    </message>
    <message>
        <source>Unit %1 stopped on port %2 at %3 after the format, before IMEI %4 was written back; this handset, scanned as unit %1, is on port %5. Is it that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending and stops this run before the format.</source>
        <translation>Sản phẩm %1 đã dừng ở cổng %2 lúc %3 sau khi định dạng, trước khi ghi lại IMEI %4; điện thoại này, được quét là sản phẩm %1, đang ở cổng %5. Có phải điện thoại đó không? Chọn Có thì nó được trả lại IMEI %4. Chọn Không thì IMEI %4 vẫn đang chờ và lượt chạy này dừng trước khi định dạng.</translation>
    </message>
    <message>
        <source>an earlier run&apos;s end messages, kept in the run journal</source>
        <translation>các tin nhắn kết thúc của một lượt chạy trước, được giữ trong sổ lượt chạy</translation>
    </message>
    <message>
        <source>CFX: the run journal keeps this run&apos;s end messages, and the next run on port %1 queues them</source>
        <translation>CFX: sổ lượt chạy giữ các tin nhắn kết thúc của lượt này, và lượt chạy sau ở cổng %1 sẽ xếp chúng vào hàng đợi</translation>
    </message>
    <message>
        <source>CFX: this run&apos;s end messages are lost: the run journal cannot keep them either; free space on the disk</source>
        <translation>CFX: các tin nhắn kết thúc của lượt này bị mất: sổ lượt chạy cũng không giữ được; hãy giải phóng dung lượng đĩa</translation>
    </message>
    <message>
        <source>CFX: the sender %1 is missing; the messages wait in the station&apos;s queue</source>
        <translation>CFX: thiếu chương trình gửi %1; tin nhắn chờ trong hàng đợi của trạm</translation>
    </message>
    <message>
        <source>CFX: the sender cannot run (%1); the messages wait in the station&apos;s queue and it is tried again</source>
        <translation>CFX: chương trình gửi không chạy được (%1); tin nhắn chờ trong hàng đợi của trạm và sẽ được thử lại</translation>
    </message>
    <message>
        <source>CFX: the sender stopped (%1) and is started again; the messages wait in the station&apos;s queue</source>
        <translation>CFX: chương trình gửi đã dừng (%1) và đang được khởi động lại; tin nhắn chờ trong hàng đợi của trạm</translation>
    </message>
</context>
<context>
    <name>PanelFile</name>
    <message>
        <source>ffsload panels</source>
        <translation>Màn hình ffsload</translation>
    </message>
    <message>
        <source>ffsload: customer and port</source>
        <translation>ffsload: khách hàng và cổng</translation>
    </message>
    <message>
        <source>&amp;Customer number</source>
        <translation>Mã &amp;khách hàng</translation>
    </message>
    <message>
        <source>S&amp;ub-number</source>
        <translation>Mã &amp;phụ</translation>
    </message>
    <message>
        <source>&amp;Port (1 to 8)</source>
        <translation>&amp;Cổng (1 đến 8)</translation>
    </message>
    <message>
        <source>&amp;Open the run panel</source>
        <translation>&amp;Mở màn hình chạy</translation>
    </message>
    <message>
        <source>&amp;Operator id</source>
        <translation>Mã &amp;nhân viên</translation>
    </message>
    <message>
        <source>scan your badge, or type your id and Enter</source>
        <translation>quét thẻ, hoặc nhập mã rồi Enter</translation>
    </message>
    <message>
        <source>Enter confirms a field and moves to the next; Enter on the port opens the run panel.</source>
        <translation>Enter xác nhận ô và sang ô tiếp; Enter ở ô cổng mở màn hình chạy.</translation>
    </message>
    <message>
        <source>ffsload: run</source>
        <translation>ffsload: chạy</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Cổng:</translation>
    </message>
    <message>
        <source>Script:</source>
        <translation>Script:</translation>
    </message>
    <message>
        <source>MA_NO:</source>
        <translation>MA_NO:</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>Người vận hành:</translation>
    </message>
    <message>
        <source>&amp;Unit serial:</source>
        <translation>Số &amp;serial:</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>quét sản phẩm, hoặc nhập số serial rồi Enter</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>Dòng:</translation>
    </message>
    <message>
        <source>Seconds:</source>
        <translation>Giây:</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Chạy</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Lưu</translation>
    </message>
    <message>
        <source>&amp;Yield</source>
        <translation>&amp;Hiệu suất</translation>
    </message>
    <message>
        <source>First-pass yield of this station&apos;s runs, the last 14 days</source>
        <translation>Tỷ lệ đạt lần đầu của trạm này, 14 ngày qua</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Th&amp;oát</translation>
    </message>
    <message>
        <source>The last run&apos;s result: RUNNING, PASS or FAIL</source>
        <translation>Kết quả lần chạy gần nhất: ĐANG CHẠY, ĐẠT hoặc LỖI</translation>
    </message>
</context>
<context>
    <name>ReportWindow</name>
    <message>
        <source>Day</source>
        <translation>Ngày</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>Khách hàng</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Lượt chạy</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Sản phẩm</translation>
    </message>
    <message>
        <source>First-pass yield</source>
        <translation>Đạt lần đầu</translation>
    </message>
    <message>
        <source>Final yield</source>
        <translation>Đạt cuối cùng</translation>
    </message>
    <message>
        <source>Most frequent failing line</source>
        <translation>Dòng lỗi nhiều nhất</translation>
    </message>
    <message>
        <source>line %1: %2 (%3 times)</source>
        <translation>dòng %1: %2 (%3 lần)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Đóng</translation>
    </message>
    <message>
        <source>First-pass and final yield per day</source>
        <translation>Tỷ lệ đạt lần đầu và cuối cùng theo ngày</translation>
    </message>
    <message>
        <source>no runs</source>
        <translation>không có lượt chạy</translation>
    </message>
    <message>
        <source>final yield</source>
        <translation>đạt cuối cùng</translation>
    </message>
    <message>
        <source>customer</source>
        <translation>khách hàng</translation>
    </message>
</context>
<context>
    <name>RunState</name>
    <message>
        <source>RUNNING</source>
        <translation>ĐANG CHẠY</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>ĐẠT</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>LỖI</translation>
    </message>
</context>
<context>
    <name>ffsload::MessageBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ffsload::YesNoBox</name>
    <message>
        <source>Click Yes or No, or press Y or N. Enter alone does nothing.</source>
        <translation>Bấm Có hoặc Không, hoặc nhấn Y hoặc N. Chỉ nhấn Enter thì không có tác dụng.</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>Có (&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>Không (&amp;N)</translation>
    </message>
</context>
</TS>
